// Picture data into bitmaps through the maker's decoding libraries: the checks of the file
// scan, the thumbnails of the grid, and the whole-picture decodes of the acquisition, each of
// which hands back the picture with its facts.
//
// A bitmap handle is a movable global block holding a packed DIB: the 40-byte
// BITMAPINFOHEADER, no colour table, 24-bit pixels in blue-green-red order, rows bottom-up,
// each row padded to a multiple of 4 bytes. File names are relative to the process's current
// directory, which DS_Entry keeps at the file browser's directory.
#pragma once

#include <windows.h>

#include <cstdint>

#include "camera/library_calls.h"

// The two kinds of picture file.
enum FileKind : uint16_t {
    FILE_KIND_EXIF = 0,
    FILE_KIND_K4I  = 1,
    FILE_KIND_NONE = 2,  // the file browser's file-type box shows no known type
};

// What a decoded picture tells about itself: its size and, when it carries both, its
// resolutions in pixels per centimetre.
enum class PictureUnits : uint16_t { Pixels, Centimetres };
struct PictureFacts {
    int32_t      width = 0;
    int32_t      height = 0;
    PictureUnits units = PictureUnits::Pixels;
    float        xPerUnit = 0;  // pixels per centimetre; 0 with units of pixels
    float        yPerUnit = 0;
};

// A whole picture and its facts. The caller owns the bitmap; it is 0 when there is no picture.
struct DecodedPicture {
    HGLOBAL      bitmap = nullptr;
    PictureFacts facts;
};

// 1 when the file is a usable Exif picture, else 0.
int checkExifFile(LPCSTR name);
// 1 when the file is a complete K4I still picture, else 0.
int checkK4iFile(LPCSTR name);
// True with *dib the file's 96 x 72 thumbnail as a bitmap block the caller owns; false when the
// file gave none (*dib is then 0). Kinds other than Exif and K4I give none. The file is `name` in
// `directory` (the current directory when null or empty), as for the whole decodes below.
bool decodeThumbnail(uint16_t kind, LPCSTR name, HGLOBAL* dib, LPCSTR directory = nullptr);

// Whole-picture decodes with the "Changing Image Data..." progress. 0 with the picture (the
// caller owns it), otherwise the library's code unchanged and no picture. The file is `name` in
// `directory` (the current directory when null or empty): the directory the file was listed in,
// so that a file of the same name elsewhere is never taken for it once that directory is gone.
uint16_t decodeExifFile(DecodedPicture* picture, LPCSTR name, LPCSTR directory = nullptr);
uint16_t decodeK4iFile(DecodedPicture* picture, LPCSTR name, LPCSTR directory = nullptr);
// The same for what a camera sends: a K4I file named by its full path (a download's temporary
// file) and an Exif picture held in `size` bytes of a movable block.
uint16_t decodeK4iFullPath(DecodedPicture* picture, LPCSTR path, PictureFrom from);
uint16_t decodeExifMemory(DecodedPicture* picture, HGLOBAL data, uint32_t size);

// The facts of a whole picture's block: its size, and pixels per centimetre when the bitmap
// carries both resolutions (else units of pixels).
PictureFacts pictureFacts(HGLOBAL bitmap);

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
