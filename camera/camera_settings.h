// The camera settings: which family is attached, on which COM port, at which line speed.
// Chosen on the option page and kept in lx3twain.ini; read by the camera connection and by
// the progress callbacks, whose drawing depends on the family and the speed.
#pragma once

#include <cstdint>

struct CameraSettings {
    int32_t modelNumber;  // 0 = not loaded yet, 1 = LX-1, 2 = LX-2, 3 = LX-3
    int32_t portNumber;   // 1-4 for COM1-COM4
    int32_t speedIndex;   // 0-6: 2400 to 115200 bits per second; LX-3 open may leave its speed code here
};

// Speed index of "115200bps", the fastest line.
constexpr int32_t SPEED_INDEX_115200 = 6;

extern CameraSettings g_settings;
