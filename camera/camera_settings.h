// The camera settings: which family is attached, on which COM port, at which line speed. Kept
// in lx3twain.ini in the Windows directory; chosen by the user on the camera window's option
// page (camera_window/settings_boxes.h), read by the camera connection and by the progress
// dialog, whose drawing depends on the family and the speed. This file is their one writer.
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

// The line speeds, 2400 to 115200 bits per second; LX-1 cameras use only the first four.
constexpr int32_t SPEED_COUNT = 7;
constexpr int32_t LX1_SPEED_COUNT = 4;
// Speed index of 115200 bits per second, the fastest line.
constexpr int32_t SPEED_INDEX_115200 = 6;

extern CameraSettings g_settings;

// Reads the settings file while the model number is 0 (nothing loaded yet), writing the
// defaults (LX-3, COM1, 115200bps) when it names no camera. False when those defaults could not
// be written. Values are taken as read, also those outside the lists.
bool settingsLoad();
// The user's choice; a box without a selection gives model 0, port 0 or speed -1.
void settingsChoose(int32_t modelNumber, int32_t portNumber, int32_t speedIndex);
// A choice that failed to connect is forgotten: the next load reads the settings file again.
void settingsForget();
// Writes the settings to the settings file; only a successful connect calls it.
void settingsSave();
// Bits per second of a speed index; any other value comes back unchanged.
int32_t speedToBps(int32_t speedIndex);

// "<Windows directory>\lx3twain.ini".
std::string settingsFilePath();
