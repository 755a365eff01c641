// Acquisition of one camera picture by the families' libraries: downloaded and decoded into a
// bitmap (image_decoding.h). The camera connection takes a picture through them
// (camera_connection.h: cameraTakePicture); which pictures, and when, is its caller's.
#pragma once

#include <windows.h>

#include <cstdint>

#include "camera/image_decoding.h"

// A download of camera data (library_calls.h: libGetPicture1, libGetPicture2).
typedef uint16_t (*CameraDataDownload)(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize);

// One LX-1 or LX-2 picture: downloaded as camera data, split into the maker's files in the
// temporary directory, decoded from a temporary K4I file. 0 with no picture when the camera
// data held none; 1 when the temporary file could not be written. Nothing stays behind in the
// temporary directory, whatever the outcome.
uint16_t downloadPicture(DecodedPicture* picture, uint16_t pictureNumber, CameraDataDownload download);
// One LX-3 picture: downloaded as Exif JPEG data and decoded in memory.
uint16_t downloadPictureLx3(DecodedPicture* picture, uint16_t pictureNumber);

// Splits LX-1/LX-2 camera data through the directory "LX3TWAIN" in the temporary path and
// reads back its K4I part: 0 with *k4i a movable block the caller owns and *k4iSize its
// length, or 0xFFFF with *k4i 0. The directory and its files are removed either way.
uint16_t splitCameraData(HGLOBAL data, uint32_t size, HGLOBAL* k4i, uint32_t* k4iSize);
