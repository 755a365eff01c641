// The file browser window: pictures from disk instead of from the camera. The camera window
// creates it and hides itself meanwhile; the browser shows the camera window again when it
// closes. Its left part is the thumbnail grid, its right column the directory list, the drive
// box, the file-type box, OK and CANCEL.
#pragma once

#include <windows.h>

#include "camera/image_decoding.h"

constexpr char FILE_BROWSER_WINDOW_CLASS[] = "FILEMAINWINDOW";
constexpr char FILE_BROWSER_WINDOW_TITLE[] = "MELVO DIGITAL CAMERA";
constexpr int FILE_BROWSER_WINDOW_WIDTH = 608;
constexpr int FILE_BROWSER_WINDOW_HEIGHT = 448;

// Sent by the window to itself: recompute the grid's scroll range and repaint.
constexpr UINT UM_FILEREFRESH = WM_USER + 1;

// The file browser window while it exists, else 0. Written by the window alone.
extern HWND g_fileBrowserWindow;

// Registers the class with the module of the source's windows (camera_window/window_class.h).
ATOM registerFileBrowserWindowClass();

// Creates the file browser window owned by `owner` and shows it; `returnTo` is shown again when
// the browser closes. False when it could not be created.
bool createFileBrowserWindow(HWND owner, HWND returnTo = nullptr);

bool fileBrowserWindowExists();
// The browser, hidden by an earlier MSG_DISABLEDS, belongs to this application's window now.
void adoptFileBrowserWindow(HWND owner);

// Destroys the file browser window if it still exists, forgets its handle and releases the
// file list with its thumbnails: the source is closing and nothing can transfer them any more.
void destroyFileBrowserWindow();

// A file was acquired for the transfers: the grid is drawn again.
void fileBrowserRedraw();
// The selection of `kind` cleared, marks and all (the user cancelled an acquisition).
void fileBrowserClearSelection(FileKind kind);
