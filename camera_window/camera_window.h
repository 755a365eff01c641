// The camera window: the source's main window while it is enabled.
#pragma once

#include <windows.h>

constexpr char CAMERA_WINDOW_CLASS[] = "TWMAINWINDOW";
constexpr char CAMERA_WINDOW_TITLE[] = "MELVO DIGITAL CAMERA";
constexpr int CAMERA_WINDOW_WIDTH = 384;
constexpr int CAMERA_WINDOW_HEIGHT = 308;

// Registers the window class once per module; returns the class atom, 0 on failure.
ATOM registerCameraWindowClass(HINSTANCE instance);

// Creates the (hidden) camera window owned by the application's window and records it in
// the source state; top-most when the application gave no window. False when it failed.
bool createCameraWindow(HWND parent);

// True while the recorded camera window still exists: the user can destroy it at any time.
bool cameraWindowExists();

// Destroys the camera window if it still exists and forgets its handle.
void destroyCameraWindow();
