// Acquisition of the next selected picture, from the camera or from disk.
#pragma once

#include <windows.h>

#include <cstdint>

// The next selected picture as a bitmap handle: 0 with *bitmap 0 when none is left.
uint16_t acquireNext(HGLOBAL* bitmap);

// Keeps `bitmap` locked as the current bitmap of a memory transfer, its next row at the top
// row of the picture.
void holdCurrentBitmap(HGLOBAL bitmap);
