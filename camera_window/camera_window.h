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

// Private messages, wParam and lParam 0: show the option page, show the camera page.
constexpr UINT UM_OPTIONTAB = WM_USER + 10;
constexpr UINT UM_CAMERATAB = WM_USER + 11;

// Registers the window class once per module; returns the class atom, 0 on failure.
ATOM registerCameraWindowClass(HINSTANCE instance);
// Registers a class for one of the source's windows, which all look alike: the source's icon,
// the arrow cursor and a gray background. Returns the class atom, 0 on failure.
ATOM registerSourceWindowClass(HINSTANCE instance, UINT style, WNDPROC procedure, const char* className);

// Creates the (hidden) camera window owned by the application's window and records it in
// the source state; top-most when the application gave no window. False when it failed.
bool createCameraWindow(HWND parent);

// True while the recorded camera window still exists: the user can destroy it at any time.
bool cameraWindowExists();

// Destroys the camera window if it still exists and forgets its handle; its fonts and kept
// bitmaps go with it.
void destroyCameraWindow();

// After a camera operation failed and closed the link itself: the communication-failure box
// with `code`, then the option page with the connection marked closed.
void fallBackAfterCameraFailure(uint16_t code);
// The same where the failing step left the link open (a failed acquisition from the camera):
// the link is closed first, and the window is redrawn once, focused.
void fallBackClosingCamera(uint16_t code);
