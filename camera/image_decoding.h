// Picture data into bitmaps through the maker's decoding libraries: the checks of the file
// scan, the thumbnails of the grid, the whole-picture decodes of the acquisition, and the
// picture facts every whole decode leaves in the source state and the capabilities.
//
// A bitmap handle is a movable global block holding a packed DIB: the 40-byte
// BITMAPINFOHEADER, no colour table, 24-bit pixels in blue-green-red order, rows bottom-up,
// each row padded to a multiple of 4 bytes. File names are relative to the process's current
// directory, which DS_Entry keeps at the file browser's directory.
#pragma once

#include <windows.h>

#include <cstdint>

#include "twain/twain_types.h"

// 1 when the file is a usable Exif picture, else 0.
int checkExifFile(LPCSTR name);
// 1 when the file is a complete K4I still picture, else 0.
int checkK4iFile(LPCSTR name);
// 1 with *bitmap a device-dependent thumbnail compatible with the window's device context;
// 0 when the file gave none (*bitmap is then 0). A thumbnail that decodes but cannot become a
// device-dependent bitmap shows the "Insufficient memory." box, owned by the file browser.
// kind: FILE_KIND_EXIF or FILE_KIND_K4I; any other kind gives no thumbnail.
int makeThumbnailBitmap(HWND window, uint16_t kind, HBITMAP* bitmap, LPCSTR name);

// Whole-picture decodes with the "Changing Image Data..." progress dialog, owned by the camera
// window. 0 with *bitmap the picture (the caller owns it), otherwise the library's code
// unchanged and *bitmap 0; the picture facts then keep their previous values.
uint16_t decodeExifFile(HGLOBAL* bitmap, LPCSTR name);
uint16_t decodeK4iFile(HGLOBAL* bitmap, LPCSTR name);
// The same for what a camera sends: a K4I file named by its full path (a download's temporary
// file) and an Exif picture held in `size` bytes of a movable block.
uint16_t decodeK4iFullPath(HGLOBAL* bitmap, LPCSTR path);
uint16_t decodeExifMemory(HGLOBAL* bitmap, HGLOBAL data, uint32_t size);

// Takes a freshly decoded picture's facts: its header into the source state's image header,
// bytes remaining = width x height x 3, and ICAP_UNITS with the X and Y resolutions: pixels
// per centimetre when the bitmap carries both resolutions, otherwise units of pixels with the
// resolutions left as they were.
void takeImageInfo(HGLOBAL bitmap);

// A resolution as the source reports it: the value rounded to six decimals, whole part only.
TW_FIX32 floatToFix32(float value);

// Code of a decode whose library handed back a block that is no picture of the layout above
// (a header that is not 24-bit, a size of 0, or fewer bytes than its rows need). Clear of the
// maker's codes.
constexpr uint16_t DECODE_ERR_BAD_BITMAP = 0xFD20;

// True when the block holds a whole 24-bit bottom-up DIB of the layout above.
bool bitmapBlockUsable(HGLOBAL bitmap);

// Bytes of one stored row of a picture `width` pixels wide: width x 3, padded to 4.
inline uint32_t dibRowBytes(uint32_t width)
{
    return (width * 3 + 3) & ~3u;
}
