// The camera window: the source's main window while it is enabled. Its left column holds the
// camera-link button, the file-browser button and CANCEL; its right side shows the option page
// (camera model, COM port, line speed) or the camera page (picture number and count, previous
// and next, SELECT, SELECT ALL, CANCEL ALL, the storage-medium radios and OK).
#pragma once

#include <windows.h>
#include <cstdint>

constexpr char CAMERA_WINDOW_CLASS[] = "TWMAINWINDOW";
constexpr char CAMERA_WINDOW_TITLE[] = "MELVO DIGITAL CAMERA";
constexpr int CAMERA_WINDOW_WIDTH = 384;
constexpr int CAMERA_WINDOW_HEIGHT = 308;

// Records the module of the windows' resources and registers the classes of both windows,
// the camera window and the file browser. Registration failures surface later, when a window
// cannot be created.
void registerSourceWindows(HINSTANCE module);
// Unregisters both classes; nothing else is released.
void unregisterSourceWindows();

// Creates the (hidden) camera window owned by the application's window; top-most when the
// application gave no window. False when it failed.
bool createCameraWindow(HWND application);
// The existing window, hidden by an earlier MSG_DISABLEDS, belongs to this application's
// window now, and is top-most when there is none.
void adoptCameraWindow(HWND application);

// True while the camera window still exists: the user can destroy it at any time.
bool cameraWindowExists();
// The camera window, 0 while there is none.
HWND cameraWindowHandle();

// Destroys the camera window if it still exists and forgets its handle; its fonts and kept
// bitmaps go with it.
void destroyCameraWindow();

// The source is closing: a camera link still open is closed, the selection emptied.
void dropCameraLink();

// A picture was acquired for the transfers: the page is drawn again.
void cameraWindowRedraw();
