// A user at the camera window, played by messages: twacquire's --pick-camera-pictures finds the
// source's camera window among its thread's windows and clicks its controls the way a mouse
// does (BM_CLICK on buttons, a chosen entry and CBN_CLOSEUP on the settings boxes, a button-down
// on a tab header). It never calls the source's code; it reads back only what a user sees: the
// page, the boxes' texts, the picture number and count.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

struct CameraClicks {
    HWND window;                        // the source's camera window (class TWMAINWINDOW)
    std::function<void(DWORD)> pump;    // runs the application's message loop for a while
    std::function<void(const char*)> say;
    std::string screenshotFolder;       // BMP captures of each step go here when not empty
    std::string model = "LX-3 / MLX-300";  // the entries chosen on the option page
    std::string port = "COM1";
    std::string speed = "115200bps";
};

// Connects the camera of the chosen model, port and speed from the option page, steps through all its
// pictures, selects each of them with SELECT and presses OK. False when the window did not
// show what a user would have expected (the reason has been said).
bool pickAllCameraPictures(const CameraClicks& user);
