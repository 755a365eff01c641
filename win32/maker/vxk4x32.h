// VXK4X32: the camera maker's K4I still-image library, imported by ordinal (import library
// made from standins/vxk4x32/VXK4X32.def). Every export is stdcall and returns a 16-bit
// result code, 0 for success. Bitmap and extra handles in a K4I_RESULT are movable global
// blocks that the caller owns and frees; on failure both stay 0.
#pragma once

#include <cstddef>

#include "win32/maker/maker_common.h"

#pragma pack(push, 1)
// Decode options. The fields are named by offset: their meaning is the maker's; the callers
// pass 0, 0, 8, 8, 1 for a whole picture and 0, 0, 1, 1, 0 for a thumbnail.
struct K4I_OPTIONS {
    DWORD option0;
    DWORD option4;
    BYTE option8;
    BYTE option9;
    DWORD option10;
};

// Out record; the caller zero-fills it before each call.
struct K4I_RESULT {
    DWORD reserved;   // not used by the callers
    HGLOBAL bitmap;   // packed 24-bit bottom-up DIB, rows padded to 4 bytes (pointer-sized)
    HGLOBAL extra;    // side block (the file's 48-byte K4I header); free it at once (pointer-sized)
    BYTE unused[22];
};
#pragma pack(pop)

static_assert(sizeof(K4I_OPTIONS) == 14, "K4I_OPTIONS is 14 bytes");
static_assert(offsetof(K4I_OPTIONS, option0) == 0, "K4I_OPTIONS layout");
static_assert(offsetof(K4I_OPTIONS, option4) == 4, "K4I_OPTIONS layout");
static_assert(offsetof(K4I_OPTIONS, option8) == 8, "K4I_OPTIONS layout");
static_assert(offsetof(K4I_OPTIONS, option9) == 9, "K4I_OPTIONS layout");
static_assert(offsetof(K4I_OPTIONS, option10) == 10, "K4I_OPTIONS layout");
static_assert(offsetof(K4I_RESULT, reserved) == 0, "K4I_RESULT layout");
static_assert(offsetof(K4I_RESULT, bitmap) == 4, "K4I_RESULT layout");
#ifdef _WIN64
static_assert(sizeof(K4I_RESULT) == 42, "K4I_RESULT is 42 bytes");
static_assert(offsetof(K4I_RESULT, extra) == 12, "K4I_RESULT layout");
static_assert(offsetof(K4I_RESULT, unused) == 20, "K4I_RESULT layout");
#else
static_assert(sizeof(K4I_RESULT) == 34, "K4I_RESULT is 34 bytes");
static_assert(offsetof(K4I_RESULT, extra) == 8, "K4I_RESULT layout");
static_assert(offsetof(K4I_RESULT, unused) == 12, "K4I_RESULT layout");
#endif

// Result codes besides 0, DEC_ERR_NOMEMORY (16) and DEC_ERR_CANCELLED (17).
enum : uint16_t {
    K4I_ERR_NOT_FOUND    = 2,   // the file cannot be opened or read
    K4I_ERR_BAD_FORMAT   = 3,   // not a K4I file / not camera data, or a header that contradicts itself
    K4I_ERR_TRUNCATED    = 4,   // the file or the camera data ends early
    K4I_ERR_CORRUPT      = 5,   // a header, thumbnail or strip CRC-32 does not match, or zlib data is damaged
    K4I_ERR_TOO_LARGE    = 6,   // more than 16384 on a side or 32 million pixels, or a file over 512 MB
    K4I_ERR_BAD_ARGUMENT = 7,   // null pointer, or a data size beyond the handle's real size
    K4I_ERR_UNSUPPORTED  = 8,   // a K4I or camera-data version this library does not know
    K4I_ERR_WRITE        = 9,   // k4iSplitData: a file could not be written (none is left behind)
    K4I_ERR_NO_PICTURE   = 10,  // k4iSplitData: the camera data holds no K4I part
};

extern "C" {
// Ordinal 1. Result 0 when the file is a complete K4I file; *flag = 1 only for a still picture.
WORD WINAPI k4iCheckFile(LPCSTR path, WORD* flag);
// Ordinal 7. result->bitmap: a 96 x 72 upright thumbnail (picture fitted, black bars). No progress.
WORD WINAPI k4iReadThumbnail(LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options, DWORD reserved);
// Ordinal 18. Writes N0100001.K4I (and .K4S/.REL when the camera data carries them) into directory.
WORD WINAPI k4iSplitData(HGLOBAL data, DWORD size, LPCSTR directory);
// Ordinal 21. result->bitmap: the whole picture, upright. progress may be null.
WORD WINAPI k4iDecodeFile(LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options, HWND owner, ProgressCallback2 progress);
}
