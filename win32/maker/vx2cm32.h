// VX2CM32: the maker's communication library for LX-2 cameras, which hold pictures on a
// memory card and in internal memory. Imported by ordinal through vx2cm32.def; the simulated
// camera library is built from the same two files. The vx2_ prefix only keeps the C names of
// the three camera libraries apart.
#pragma once

#include "win32/maker/maker_common.h"

// Storage media of an LX-2 camera, as camSetMedium and camGetStatus give them.
enum : int32_t {
    MEDIUM_INTERNAL = 0,
    MEDIUM_CARD     = 1,
};

extern "C" {

// ord 13. Port 1-4 and line speed 2400-115200 bits per second, both passed by pointer.
uint16_t WINAPI vx2_camOpen(int32_t* port, int32_t* bitsPerSecond);
// ord 2. Its result means nothing to the caller.
uint16_t WINAPI vx2_camClose();
// ord 3. Medium in use, number of pictures on it, 1-based current picture.
uint16_t WINAPI vx2_camGetStatus(int32_t* medium, int32_t* count, uint16_t* current);
// ord 4, 5
uint16_t WINAPI vx2_camPrevPicture(uint16_t* current);
uint16_t WINAPI vx2_camNextPicture(uint16_t* current);
// ord 6. Asks for `requested` (MEDIUM_CARD or MEDIUM_INTERNAL); the medium written back is the
// one now in use, which stays the old one when the camera cannot switch.
uint16_t WINAPI vx2_camSetMedium(int32_t* medium, uint16_t* current, int32_t* count, int32_t requested);
// ord 11. Same arguments and meaning as VX1CM32's camGetPicture.
uint16_t WINAPI vx2_camGetPicture(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize,
                                  void* info, int32_t fixed1a, int32_t fixed1b, ProgressCallback2 progress);

}  // extern "C"
