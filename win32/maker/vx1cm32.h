// VX1CM32: the maker's communication library for LX-1 cameras. The data source imports it by
// ordinal through the import library made from vx1cm32.def; the simulated camera library is
// built from the same two files, so both sides agree on every signature and ordinal.
// The vx1_ prefix only keeps the C names of the three camera libraries apart: the libraries
// themselves call every operation camXxx and export no names at all.
#pragma once

#include "win32/maker/maker_common.h"

extern "C" {

// ord 2. Opens COM<port> (1-4) at bitsPerSecond (2400-19200). The last five arguments are the
// fixed values 8, 0, 0, 1, 0 that the library's line set-up expects.
uint16_t WINAPI vx1_camOpen(int32_t port, int32_t bitsPerSecond, int32_t fixed8, int32_t fixed0a,
                            int32_t fixed0b, int32_t fixed1, int32_t fixed0c);
// ord 3
uint16_t WINAPI vx1_camClose();
// ord 7. Number of pictures and the 1-based current picture.
uint16_t WINAPI vx1_camGetStatus(int32_t* count, uint16_t* current);
// ord 8, 9. Move one picture on or back; the new current picture is written.
uint16_t WINAPI vx1_camNextPicture(uint16_t* current);
uint16_t WINAPI vx1_camPrevPicture(uint16_t* current);
// ord 17. Downloads picture n as camera data into a movable global block that the caller owns.
// info receives 16 bytes nobody reads; fixed1a and fixed1b are 1.
uint16_t WINAPI vx1_camGetPicture(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize,
                                  void* info, int32_t fixed1a, int32_t fixed1b, ProgressCallback2 progress);

}  // extern "C"
