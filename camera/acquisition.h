// Acquisition of one camera picture: downloaded through the family's library and decoded into a
// bitmap (image_decoding.h). Which pictures are acquired, and when, is the caller's.
#pragma once

#include <windows.h>

#include <cstdint>

#include "camera/image_decoding.h"

// Code of an acquisition from a camera whose family the settings do not name.
constexpr uint16_t ACQUIRE_ERR_UNKNOWN = 0xFFFF;

// Camera picture `pictureNumber`, which the camera then stands on. 0 with the picture; 0 with
// no picture when an LX-1 or LX-2 camera skipped it (CAM_ERR_SKIP) or its data held no picture:
// the caller goes on with the next. Otherwise the library's code: DEC_ERR_NOMEMORY (16 or 19),
// DEC_ERR_CANCELLED or CAM_ERR_CANCELLED after Cancel in the progress dialog, anything else a
// failure of the camera.
uint16_t cameraTakePicture(uint16_t pictureNumber, DecodedPicture* picture);

// One LX-1 or LX-2 picture: downloaded as camera data, split into the maker's files in the
// temporary directory, decoded from a temporary K4I file. 0 with no picture when the camera
// data held none; 1 when the temporary file could not be written. Nothing stays behind in the
// temporary directory, whatever the outcome.
uint16_t downloadPicture(DecodedPicture* picture, uint16_t pictureNumber);
// One LX-3 picture: downloaded as Exif JPEG data and decoded in memory.
uint16_t downloadPictureLx3(DecodedPicture* picture, uint16_t pictureNumber);

// Splits LX-1/LX-2 camera data through the directory "LX3TWAIN" in the temporary path and
// reads back its K4I part: 0 with *k4i a movable block the caller owns and *k4iSize its
// length, or 0xFFFF with *k4i 0. The directory and its files are removed either way.
uint16_t splitCameraData(HGLOBAL data, uint32_t size, HGLOBAL* k4i, uint32_t* k4iSize);
