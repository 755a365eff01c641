// Acquisition of the next selected picture, from the camera or from disk according to the
// source state's transfer origin, as one bitmap handle (image_decoding.h). Called by the OK of
// the camera page and of the file browser for the first picture of a memory transfer, and by
// the transfers for every further picture.
#pragma once

#include <windows.h>

#include <cstdint>

// 0 with *bitmap the picture; 0 with *bitmap 0 when nothing is left to acquire (the pending
// count is then 0). 0xFFFF when the transfer origin, the file kind or the camera family is
// none of the known ones. Otherwise a library code: DEC_ERR_NOMEMORY (16 or 19),
// DEC_ERR_CANCELLED or CAM_ERR_CANCELLED after Cancel in the progress dialog, anything else a
// failure. After any failure or cancel the pending count is 0; a camera failure also empties
// the picture list.
uint16_t acquireNext(HGLOBAL* bitmap);

// One LX-1 or LX-2 picture: downloaded as camera data, split into the maker's files in the
// temporary directory, decoded from a temporary K4I file. 0 with *bitmap 0 when the camera
// data held no picture; 1 when the temporary file could not be written. Nothing stays behind
// in the temporary directory, whatever the outcome.
uint16_t downloadPicture(HGLOBAL* bitmap, uint16_t pictureNumber);
// One LX-3 picture: downloaded as Exif JPEG data and decoded in memory.
uint16_t downloadPictureLx3(HGLOBAL* bitmap, uint16_t pictureNumber);

// Splits LX-1/LX-2 camera data through the directory "LX3TWAIN" in the temporary path and
// reads back its K4I part: 0 with *k4i a movable block the caller owns and *k4iSize its
// length, or 0xFFFF with *k4i 0. The directory and its files are removed either way.
uint16_t splitCameraData(HGLOBAL data, uint32_t size, HGLOBAL* k4i, uint32_t* k4iSize);

// Makes `bitmap` the memory transfer's current bitmap: locked until its last strip, the next
// row at the picture's top row (the last stored row). False, with the block freed and nothing
// held, when the block is no whole picture of the image header's size.
bool holdCurrentBitmap(HGLOBAL bitmap);
