// Where the camera stands: the values the camera connection keeps while a link is open and
// that the picture list and the camera page read. All zero before any connection. The camera
// connection and the families' operations (camera_connection.cpp, camera_families.cpp) are
// their only writers.
#pragma once

#include <cstdint>

#include "win32/maker/vx3cm32.h"

struct CameraPosition {
    uint16_t     currentPicture;  // 1-based number of the picture the camera is positioned on
    uint32_t     pictureCount;    // pictures on the medium in use; LX-3 cameras report 16 bits
    uint32_t     storageMedium;   // LX-2: 1 memory card, 0 internal memory
    CameraHandle cameraHandle;    // LX-3 link handle
};

extern CameraPosition g_camera;
