// What the camera maker's five libraries share: result codes, the progress callback forms
// and the progress hook record. Every export of those libraries and every progress
// callback uses the stdcall convention; records are passed by pointer.
//
// The libraries exist for 32-bit and for 64-bit Windows with the same ordinals, argument orders,
// records and result codes. In the 64-bit form every pointer and handle, in arguments and in
// records, is 64 bits wide (records stay packed, so the fields after them move); every other
// field keeps its width. Each record's assertions below give both layouts.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

// 16-bit result codes; 0 is success, every other value a failure unless named here.
enum : uint16_t {
    CAM_OK             = 0,
    CAM_ERR_CANCELLED  = 0xFF61,  // the user stopped the download in the progress dialog
    CAM_ERR_SKIP       = 0xFF64,  // LX-1/LX-2: this picture cannot be delivered, go on with the next
    CAM_ERR_NOPICTURE  = 0xFE07,  // LX-3 camGetCurrent: the camera holds no picture
    DEC_ERR_NOMEMORY   = 16,      // not enough memory (19 means the same)
    DEC_ERR_CANCELLED  = 17,      // the user stopped the decode
    DEC_ERR_NOMEMORY2  = 19,
};

// Progress protocol: begin, progress with a percentage, end. A callback returns -1 to stop.
// (Not PROGRESS_STOP: winbase.h defines that macro for CopyFileEx.)
enum : int {
    PROGRESS_BEGIN    = 1,
    PROGRESS_END      = 2,
    PROGRESS_PERCENT  = 16,
    PROGRESS_GO_ON    = 0,
    PROGRESS_HALT     = -1,
};

// Two-argument form, passed directly (LX-1/LX-2 downloads, K4I decodes).
typedef int(WINAPI* ProgressCallback2)(int code, int value);
// Three-argument form, passed inside a PROGRESS_HOOK (LX-3 downloads, Exif decodes).
typedef int(WINAPI* ProgressCallback3)(int code, int value, DWORD userData);

#pragma pack(push, 1)
struct PROGRESS_HOOK {
    ProgressCallback3 callback;  // pointer-sized
    DWORD userData;              // always 1
};
#pragma pack(pop)
#ifdef _WIN64
static_assert(sizeof(PROGRESS_HOOK) == 12, "PROGRESS_HOOK is 12 bytes");
static_assert(offsetof(PROGRESS_HOOK, userData) == 8, "PROGRESS_HOOK.userData at 8");
#else
static_assert(sizeof(PROGRESS_HOOK) == 8, "PROGRESS_HOOK is 8 bytes");
#endif
