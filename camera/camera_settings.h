// The camera settings: the family, COM port and line speed chosen on the option page.
// All start at 0; a model number of 0 means the settings file has not been read yet.
#pragma once

#include <cstdint>

struct CameraSettings {
    int32_t modelNumber;  // 0 not loaded yet, 1 LX-1, 2 LX-2, 3 LX-3
    int32_t portNumber;   // 1-4: COM1-COM4
    int32_t speedIndex;   // 0-6: 2400 to 115200 bits per second
};

extern CameraSettings g_settings;
