// Acquisition of the next selected picture, from the camera or from disk.
#pragma once

#include <windows.h>

#include <cstdint>

// The next selected picture as a bitmap handle: 0 with *bitmap 0 when none is left.
uint16_t acquireNext(HGLOBAL* bitmap);

// Makes `bitmap` the memory transfer's current bitmap: locked until its last strip, the next
// row at the picture's top row (the last stored row). False, with the block freed and nothing
// held, when it cannot be locked.
bool holdCurrentBitmap(HGLOBAL bitmap);
