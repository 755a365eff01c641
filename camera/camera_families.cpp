// The three families through their libraries VX1CM32, VX2CM32 and VX3CM32 (bound by ordinal).
#include "camera/camera_families.h"

#include "camera/acquisition.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera/library_calls.h"
#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "win32/maker/vx3cm32.h"

namespace {

// A picture the camera cannot deliver is passed over: the next one is taken.
uint16_t skippedAsNone(uint16_t code)
{
    return code == CAM_ERR_SKIP ? 0 : code;
}

// ---- LX-1: the memory card only, lines up to 19200 bits per second, K4I camera data ----

// The bit layout of the line, as the library's set-up expects it.
const int32_t LX1_LINE[] = {8, 0, 0, 1, 0};

uint16_t openLx1()
{
    return vx1_camOpen(g_settings.portNumber, speedToBps(g_settings.speedIndex), LX1_LINE[0], LX1_LINE[1],
                       LX1_LINE[2], LX1_LINE[3], LX1_LINE[4]);
}

uint16_t closeLx1()
{
    return vx1_camClose();
}

uint16_t readPositionLx1(bool)
{
    int32_t count = 0;
    const uint16_t code = vx1_camGetStatus(&count, &g_camera.currentPicture);
    if (code != 0) return code;
    g_camera.pictureCount = static_cast<uint32_t>(count);
    g_camera.storageMedium = MEDIUM_CARD;
    return 0;
}

uint16_t stepLx1(int direction)
{
    uint16_t* current = &g_camera.currentPicture;
    return direction > 0 ? vx1_camNextPicture(current) : vx1_camPrevPicture(current);
}

uint16_t takePictureLx1(DecodedPicture* picture, uint16_t number)
{
    return skippedAsNone(downloadPicture(picture, number, libGetPicture1));
}

// ---- LX-2: memory card and internal memory, K4I camera data ----

uint16_t openLx2()
{
    int32_t bitsPerSecond = speedToBps(g_settings.speedIndex);
    return vx2_camOpen(&g_settings.portNumber, &bitsPerSecond);
}

uint16_t closeLx2()
{
    vx2_camClose();
    return 0;  // its code means nothing
}

// Without `takeMedium` the camera's medium goes to a scratch value.
uint16_t readPositionLx2(bool takeMedium)
{
    int32_t mediumInUse = 0;
    int32_t count = 0;
    const uint16_t code = vx2_camGetStatus(&mediumInUse, &count, &g_camera.currentPicture);
    if (code != 0) return code;
    if (takeMedium) g_camera.storageMedium = static_cast<uint32_t>(mediumInUse);
    g_camera.pictureCount = static_cast<uint32_t>(count);
    return 0;
}

uint16_t stepLx2(int direction)
{
    uint16_t* current = &g_camera.currentPicture;
    return direction > 0 ? vx2_camNextPicture(current) : vx2_camPrevPicture(current);
}

// A camera that cannot switch keeps the medium, count and current picture it had.
uint16_t setMediumLx2(uint16_t medium)
{
    const uint32_t keptCount = g_camera.pictureCount;
    const uint16_t keptCurrent = g_camera.currentPicture;
    int32_t scratchMedium = 0;
    int32_t count = 0;
    uint16_t code = vx2_camGetStatus(&scratchMedium, &count, &g_camera.currentPicture);
    if (code != 0) return code;
    g_camera.pictureCount = static_cast<uint32_t>(count);

    int32_t mediumInUse = static_cast<int32_t>(g_camera.storageMedium);
    code = vx2_camSetMedium(&mediumInUse, &g_camera.currentPicture, &count, medium);
    g_camera.storageMedium = static_cast<uint32_t>(mediumInUse);
    g_camera.pictureCount = static_cast<uint32_t>(count);
    if (code != 0) return code;
    if (g_camera.storageMedium != medium) {
        g_camera.pictureCount = keptCount;
        g_camera.currentPicture = keptCurrent;
    }
    return 0;
}

uint16_t takePictureLx2(DecodedPicture* picture, uint16_t number)
{
    return skippedAsNone(downloadPicture(picture, number, libGetPicture2));
}

// ---- LX-3: internal memory only, a link handle, Exif JPEG data ----

uint16_t openLx3()
{
    // The library takes a speed code, in which 115200 bits per second is 7, not 6. The
    // variable itself carries the code through the open; whatever else the library leaves
    // there stays and is saved.
    if (static_cast<uint16_t>(g_settings.speedIndex) == SPEED_INDEX_115200)
        g_settings.speedIndex = (g_settings.speedIndex & ~0xFFFF) | LX3_SPEED_115200;
    uint8_t model = LX3_MODEL_NUMBER;
    uint16_t ignoredA = 0, ignoredB = 0;
    const uint16_t code = vx3_camOpen(&g_camera.cameraHandle, &g_settings.portNumber, &g_settings.speedIndex, &model,
                                      &ignoredA, &ignoredB);
    if (static_cast<uint16_t>(g_settings.speedIndex) == LX3_SPEED_115200)
        g_settings.speedIndex = (g_settings.speedIndex & ~0xFFFF) | SPEED_INDEX_115200;
    return code;
}

uint16_t closeLx3()
{
    return vx3_camClose(g_camera.cameraHandle);
}

uint16_t readPositionLx3(bool)
{
    uint16_t code = vx3_camGetCurrent(g_camera.cameraHandle, &g_camera.currentPicture);
    if (code == CAM_ERR_NOPICTURE) {
        g_camera.currentPicture = 0;
    } else if (code != 0) {
        return code;
    }
    uint16_t count = 0;
    code = vx3_camGetCount(g_camera.cameraHandle, &count);
    if (code != 0) return code;
    g_camera.pictureCount = count;
    g_camera.storageMedium = MEDIUM_INTERNAL;
    return 0;
}

uint16_t stepLx3(int direction)
{
    uint16_t* current = &g_camera.currentPicture;
    return direction > 0 ? vx3_camNextPicture(g_camera.cameraHandle, current)
                         : vx3_camPrevPicture(g_camera.cameraHandle, current);
}

uint16_t goToLx3(uint16_t number)
{
    return vx3_camGoToPicture(g_camera.cameraHandle, number);
}

const CameraFamily LX1 = {MODEL_LX1, "LX-1 / MLX-1", LX1_SPEED_COUNT, true, false, false, false, false, false,
                          openLx1, closeLx1, readPositionLx1, stepLx1, nullptr, nullptr, takePictureLx1};
const CameraFamily LX2 = {MODEL_LX2, "LX-2 / MLX-2", SPEED_COUNT, true, true, true, false, false, true,
                          openLx2, closeLx2, readPositionLx2, stepLx2, nullptr, setMediumLx2, takePictureLx2};
const CameraFamily LX3 = {MODEL_LX3, "LX-3 / MLX-300", SPEED_COUNT, false, true, false, true, true, false,
                          openLx3, closeLx3, readPositionLx3, stepLx3, goToLx3, nullptr, downloadPictureLx3};

}  // namespace

const CameraFamily* const CAMERA_FAMILIES[] = {&LX3, &LX2, &LX1};
const size_t CAMERA_FAMILY_COUNT = sizeof CAMERA_FAMILIES / sizeof CAMERA_FAMILIES[0];

const CameraFamily* familyOfModel(int32_t model)
{
    for (const CameraFamily* family : CAMERA_FAMILIES)
        if (family->model == model) return family;
    return nullptr;
}

const CameraFamily* cameraFamily()
{
    return familyOfModel(g_settings.modelNumber);
}

uint32_t pictureCountOfModel()
{
    const CameraFamily* family = cameraFamily();
    if (family && family->countsIn16Bits) return static_cast<uint16_t>(g_camera.pictureCount);
    return g_camera.pictureCount;
}
