// A window as the screen shows it, frame included, saved as a 24-bit BMP file: twacquire's
// captures of the source's windows at the steps a user goes through.
#pragma once

#include <windows.h>

#include <string>

bool saveWindowCapture(HWND window, const std::string& path);
