// VXXIF32: the camera maker's Exif JPEG decoder, imported by ordinal (import library made from
// standins/vxxif32/VXXIF32.def). Every export is stdcall; progress reaches the caller through
// the three-argument callback inside a PROGRESS_HOOK. Bitmap and extra handles in an
// EXIF_RESULT are movable global blocks that the caller owns and frees; on failure both stay 0.
#pragma once

#include <cstddef>

#include "win32/maker/maker_common.h"

#pragma pack(push, 1)
// Decode options: 8, 8, 1 for a whole picture, 1, 1, 0 for a thumbnail. The first two bytes
// are the maker's and not read by the stand-in; wholePicture selects the mode.
struct EXIF_OPTIONS {
    BYTE option0;
    BYTE option1;
    BYTE wholePicture;  // 1 whole picture, 0 thumbnail; anything else is refused
};

// Out record; the caller zero-fills it before each call.
struct EXIF_RESULT {
    HGLOBAL bitmap;  // packed 24-bit bottom-up DIB, rows padded to 4 bytes (pointer-sized)
    HGLOBAL extra;   // an EXIF_INFO block; free it at once (pointer-sized)
    BYTE unused[264];
};

// Contents of the extra block: facts about the file, then a copy of its Exif TIFF data.
struct EXIF_INFO {
    DWORD storedWidth;   // as in the file, before orientation
    DWORD storedHeight;
    WORD orientation;    // Exif 1-8, 1 when the file has none
    WORD flags;          // EXIF_INFO_HAS_EXIF, EXIF_INFO_HAS_THUMBNAIL
    DWORD exifBytes;     // length of the TIFF data that follows this record
};
#pragma pack(pop)

enum : WORD { EXIF_INFO_HAS_EXIF = 1, EXIF_INFO_HAS_THUMBNAIL = 2 };

static_assert(sizeof(EXIF_OPTIONS) == 3, "EXIF_OPTIONS is 3 bytes");
static_assert(offsetof(EXIF_OPTIONS, wholePicture) == 2, "EXIF_OPTIONS layout");
static_assert(offsetof(EXIF_RESULT, bitmap) == 0, "EXIF_RESULT layout");
#ifdef _WIN64
static_assert(sizeof(EXIF_RESULT) == 280, "EXIF_RESULT is 280 bytes");
static_assert(offsetof(EXIF_RESULT, extra) == 8, "EXIF_RESULT layout");
static_assert(offsetof(EXIF_RESULT, unused) == 16, "EXIF_RESULT layout");
#else
static_assert(sizeof(EXIF_RESULT) == 272, "EXIF_RESULT is 272 bytes");
static_assert(offsetof(EXIF_RESULT, extra) == 4, "EXIF_RESULT layout");
static_assert(offsetof(EXIF_RESULT, unused) == 8, "EXIF_RESULT layout");
#endif
static_assert(sizeof(EXIF_INFO) == 16, "EXIF_INFO is 16 bytes");
static_assert(offsetof(EXIF_INFO, orientation) == 8 && offsetof(EXIF_INFO, exifBytes) == 12, "EXIF_INFO layout");

// Result codes besides 0, DEC_ERR_NOMEMORY (16) and DEC_ERR_CANCELLED (17).
enum : uint16_t {
    EXIF_ERR_NOT_FOUND    = 2,  // the file cannot be opened or read
    EXIF_ERR_BAD_FORMAT   = 3,  // not a JPEG file, or damaged segments
    EXIF_ERR_TRUNCATED    = 4,  // the data ends before the end-of-image marker
    EXIF_ERR_CORRUPT      = 5,  // the compressed picture data cannot be decoded
    EXIF_ERR_TOO_LARGE    = 6,  // more than 16384 on a side or 32 million pixels, or over 128 MB
    EXIF_ERR_BAD_ARGUMENT = 7,  // null pointer, bad options, or a data size beyond the handle's real size
    EXIF_ERR_UNSUPPORTED  = 8,  // lossless, arithmetic-coded or 12-bit JPEG, or an unusual colour layout
};

extern "C" {
// Ordinal 1. 0 (all 32 bits) when the file is a JPEG the decoder takes; *orientation gets its
// Exif orientation.
DWORD WINAPI exifCheckFile(LPCSTR path, WORD* orientation);
// Ordinal 15. path may be relative to the current directory. hook may be null (thumbnails).
// *orientation gets the Exif orientation that was applied.
WORD WINAPI exifDecodeFile(LPCSTR path, EXIF_RESULT* result, WORD* orientation, EXIF_OPTIONS* options,
                           PROGRESS_HOOK* hook);
// Ordinal 16. Reads `size` bytes of the caller's block, which stays the caller's.
WORD WINAPI exifDecodeMemory(HGLOBAL data, DWORD size, EXIF_RESULT* result, WORD* orientation,
                             EXIF_OPTIONS* options, PROGRESS_HOOK* hook);
}
