// The camera settings: which family is attached, on which COM port, at which line speed.
// Chosen on the option page's three combo boxes and kept in lx3twain.ini in the Windows
// directory; read by the camera connection and by the progress callbacks, whose drawing
// depends on the family and the speed.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

struct CameraSettings {
    int32_t modelNumber;  // 0 = not loaded yet, 1 = LX-1, 2 = LX-2, 3 = LX-3
    int32_t portNumber;   // 1-4 for COM1-COM4
    int32_t speedIndex;   // 0-6: 2400 to 115200 bits per second; LX-3 open may leave its speed code here
};

enum CameraModel : int32_t {
    MODEL_NONE = 0,
    MODEL_LX1  = 1,
    MODEL_LX2  = 2,
    MODEL_LX3  = 3,
};

// Speed index of "115200bps", the fastest line.
constexpr int32_t SPEED_INDEX_115200 = 6;

extern CameraSettings g_settings;

// The option page's three combo boxes, which the settings are shown in and taken from.
struct SettingsBoxes {
    HWND model;
    HWND port;
    HWND speed;
};

// Fills freshly created combo boxes with their lists and selects the current settings; reads
// the settings file first while the model number is 0, writing the defaults (LX-3, COM1,
// 115200bps) when it holds no camera. 0 when those defaults could not be written; the boxes
// are then left without a selection.
int settingsLoad(const SettingsBoxes& boxes);
// Copies the three selections into the settings; a box without a selection gives model 0,
// port 0 or speed -1. Returns 1.
int settingsTake(const SettingsBoxes& boxes);
// Rebuilds the speed list for the model chosen in the model box: LX-1 lines go no faster
// than 19200 bits per second. Returns 1.
int settingsFitSpeedList(const SettingsBoxes& boxes);
// Bits per second of a speed index; any other value comes back unchanged.
int32_t speedToBps(int32_t speedIndex);
// Writes the settings to the settings file; only a successful connect calls it.
void settingsSave();

// "<Windows directory>\lx3twain.ini".
std::string settingsFilePath();
