// The file browser window: pictures from disk instead of from the camera.
#pragma once

#include <windows.h>

constexpr char FILE_BROWSER_WINDOW_CLASS[] = "FILEMAINWINDOW";

ATOM registerFileBrowserWindowClass(HINSTANCE instance);

// True while the recorded file browser window still exists.
bool fileBrowserWindowExists();

// Destroys the file browser window if it still exists and forgets its handle.
void destroyFileBrowserWindow();
