// A user at the file browser, played by messages: twacquire's --pick-files presses the camera
// window's file-browser button, looks at the folder the browser opened on (the application's
// current directory), clicks thumbnails (the first plainly, the others with Ctrl held) and
// presses OK. It never calls the source's code; it reads back only what a user sees: the
// directory list and the file type.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct FileClicks {
    HWND cameraWindow;                  // the source's camera window (class TWMAINWINDOW)
    std::vector<int> positions;         // thumbnails to select, numbered from 1 row by row
    std::function<void(DWORD)> pump;    // runs the application's message loop for a while
    std::function<void(const char*)> say;
    std::string screenshotFolder;       // BMP captures of each step go here when not empty
};

// False when the browser did not show what a user would have expected (the reason has been said).
bool pickFilesInBrowser(const FileClicks& user);
