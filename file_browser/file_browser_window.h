// The file browser window: pictures from disk instead of from the camera. The camera window
// creates it and hides itself meanwhile; the browser shows the camera window again when it
// closes. Its left part is the thumbnail grid, its right column the directory list, the drive
// box, the file-type box, OK and CANCEL.
#pragma once

#include <windows.h>

constexpr char FILE_BROWSER_WINDOW_CLASS[] = "FILEMAINWINDOW";
constexpr char FILE_BROWSER_WINDOW_TITLE[] = "MELVO DIGITAL CAMERA";
constexpr int FILE_BROWSER_WINDOW_WIDTH = 608;
constexpr int FILE_BROWSER_WINDOW_HEIGHT = 448;

// Sent by the window to itself: recompute the grid's scroll range and repaint.
constexpr UINT UM_FILEREFRESH = WM_USER + 1;
// Posted by the window to itself while thumbnails are still being loaded after a scan.
constexpr UINT UM_FILELOADMORE = WM_USER + 2;

ATOM registerFileBrowserWindowClass(HINSTANCE instance);

// Creates the file browser window owned by `owner`, records it in the source state and shows
// it. False when it could not be created.
bool createFileBrowserWindow(HWND owner);

bool fileBrowserWindowExists();

// Destroys the file browser window if it still exists, forgets its handle and releases the
// file list with its thumbnails: the source is closing and nothing can transfer them any more.
void destroyFileBrowserWindow();
