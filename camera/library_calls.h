// The calls into the maker's libraries that take a progress callback. Each one records the
// window it is given as the owner of the progress dialog, calls the library with the right
// progress callback, makes sure the dialog is gone afterwards, gives the keyboard focus back
// where it belongs and returns the library's code unchanged.
#pragma once

#include <windows.h>
#include <cstdint>

#include "win32/maker/vx3cm32.h"
#include "win32/maker/vxk4x32.h"
#include "win32/maker/vxxif32.h"

// LX-1 and LX-2 downloads of picture n as camera data into a movable block the caller owns.
uint16_t libGetPicture1(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize);
uint16_t libGetPicture2(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize);
// LX-3 download of request->pictureNumber as Exif JPEG data into request->data.
uint16_t libGetPicture3(HWND owner, CameraHandle handle, PICTURE_REQUEST* request);

// Whole-picture decodes; the options are the caller's full-picture values. The K4I and
// in-memory Exif decodes give the focus back to the owner only while the picture comes from
// the camera, because the file browser keeps its own focus; the Exif file decode never does.
uint16_t libDecodeK4iFile(HWND owner, LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options);
uint16_t libDecodeExifFile(HWND owner, LPCSTR path, EXIF_RESULT* result, EXIF_OPTIONS* options);
uint16_t libDecodeExifMemory(HWND owner, HGLOBAL data, DWORD dataSize, EXIF_RESULT* result, EXIF_OPTIONS* options);
