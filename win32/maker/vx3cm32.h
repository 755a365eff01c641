// VX3CM32: the maker's communication library for LX-3 cameras, which deliver Exif JPEG data.
// Every operation but camOpen takes the camera handle first. Imported by ordinal through
// vx3cm32.def; the simulated camera library is built from the same two files. The vx3_
// prefix only keeps the C names of the three camera libraries apart.
#pragma once

#include <cstddef>
#include "win32/maker/maker_common.h"

// Opaque value from camOpen, handed back to every later call: 32 bits in the 32-bit library,
// 64 in the 64-bit one.
typedef UINT_PTR CameraHandle;

// Line speed codes of camOpen: 0-5 are 2400-57600 bits per second, 7 is 115200; 6 is not used.
enum : int32_t {
    LX3_SPEED_2400   = 0,
    LX3_SPEED_57600  = 5,
    LX3_SPEED_115200 = 7,
};

constexpr uint8_t LX3_MODEL_NUMBER = 3;
constexpr size_t PICTURE_REQUEST_SCRATCH_SIZE = 12;

#pragma pack(push, 1)
// One LX-3 download: the caller fills the number and the scratch pointer, the library the
// data handle (a movable global block the caller then owns) and the data size.
struct PICTURE_REQUEST {
    uint16_t pictureNumber;
    uint16_t unused;
    void*    scratch;   // 12 bytes of the caller's; the library may use them, nobody reads them
    HGLOBAL  data;      // out (scratch and data are pointer-sized)
    uint32_t dataSize;  // out
};
#pragma pack(pop)
static_assert(offsetof(PICTURE_REQUEST, pictureNumber) == 0, "PICTURE_REQUEST.pictureNumber at 0");
static_assert(offsetof(PICTURE_REQUEST, unused) == 2, "PICTURE_REQUEST.unused at 2");
static_assert(offsetof(PICTURE_REQUEST, scratch) == 4, "PICTURE_REQUEST.scratch at 4");
static_assert(offsetof(PROGRESS_HOOK, callback) == 0, "PROGRESS_HOOK.callback at 0");
#ifdef _WIN64
static_assert(sizeof(void*) == 8 && sizeof(HGLOBAL) == 8 && sizeof(CameraHandle) == 8,
              "the 64-bit library's pointers and handles are 64 bits");
static_assert(sizeof(PICTURE_REQUEST) == 24, "PICTURE_REQUEST is 24 bytes");
static_assert(offsetof(PICTURE_REQUEST, data) == 12, "PICTURE_REQUEST.data at 12");
static_assert(offsetof(PICTURE_REQUEST, dataSize) == 20, "PICTURE_REQUEST.dataSize at 20");
#else
static_assert(sizeof(void*) == 4 && sizeof(HGLOBAL) == 4, "the maker's records are laid out for 32-bit code");
static_assert(sizeof(PICTURE_REQUEST) == 16, "PICTURE_REQUEST is 16 bytes");
static_assert(offsetof(PICTURE_REQUEST, data) == 8, "PICTURE_REQUEST.data at 8");
static_assert(offsetof(PICTURE_REQUEST, dataSize) == 12, "PICTURE_REQUEST.dataSize at 12");
static_assert(offsetof(PROGRESS_HOOK, userData) == 4, "PROGRESS_HOOK.userData at 4");
#endif

extern "C" {

// ord 1. Opens COM<*port> at *speedCode for a camera of *model (always 3). The library may
// rewrite *speedCode. ignoredA and ignoredB receive 16-bit values nobody reads.
uint16_t WINAPI vx3_camOpen(CameraHandle* handle, int32_t* port, int32_t* speedCode, uint8_t* model,
                            uint16_t* ignoredA, uint16_t* ignoredB);
// ord 2
uint16_t WINAPI vx3_camClose(CameraHandle handle);
// ord 18. CAM_ERR_NOPICTURE when the camera holds no picture.
uint16_t WINAPI vx3_camGetCurrent(CameraHandle handle, uint16_t* current);
// ord 5
uint16_t WINAPI vx3_camGetCount(CameraHandle handle, uint16_t* count);
// ord 9, 10
uint16_t WINAPI vx3_camNextPicture(CameraHandle handle, uint16_t* current);
uint16_t WINAPI vx3_camPrevPicture(CameraHandle handle, uint16_t* current);
// ord 11
uint16_t WINAPI vx3_camGoToPicture(CameraHandle handle, uint16_t pictureNumber);
// ord 4. Downloads request->pictureNumber as Exif JPEG data; fixed1 is 1.
uint16_t WINAPI vx3_camGetPicture(CameraHandle handle, PICTURE_REQUEST* request, int32_t fixed1,
                                  PROGRESS_HOOK* progress);

}  // extern "C"
