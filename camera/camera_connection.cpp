// The camera connection through VX1CM32, VX2CM32 and VX3CM32 (bound by ordinal).
#include "camera/camera_connection.h"

#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "win32/maker/vx3cm32.h"

namespace {

// LX-1: bit layout of the line, as the library's set-up expects it.
const int32_t LX1_LINE[] = {8, 0, 0, 1, 0};

bool g_connected = false;

uint16_t closeLink()
{
    switch (g_settings.modelNumber) {
    case MODEL_LX1: return vx1_camClose();
    case MODEL_LX2: vx2_camClose(); return 0;  // its code means nothing
    case MODEL_LX3: return vx3_camClose(g_camera.cameraHandle);
    default: return 0;
    }
}

// A failing camera is not asked again: the link goes, and with it the connection.
uint16_t closeAfterFailure(uint16_t code)
{
    closeLink();
    g_connected = false;
    return code;
}

uint16_t readStatusLx1()
{
    int32_t count = 0;
    const uint16_t code = vx1_camGetStatus(&count, &g_camera.currentPicture);
    if (code != 0) return closeAfterFailure(code);
    g_camera.pictureCount = static_cast<uint32_t>(count);
    g_camera.storageMedium = MEDIUM_CARD;
    return 0;
}

// With `medium` null the camera's medium goes to a scratch value: only the connect takes it.
uint16_t readStatusLx2(uint32_t* medium)
{
    int32_t mediumInUse = 0;
    int32_t count = 0;
    const uint16_t code = vx2_camGetStatus(&mediumInUse, &count, &g_camera.currentPicture);
    if (code != 0) return closeAfterFailure(code);
    if (medium) *medium = static_cast<uint32_t>(mediumInUse);
    g_camera.pictureCount = static_cast<uint32_t>(count);
    return 0;
}

uint16_t readPositionLx3()
{
    uint16_t code = vx3_camGetCurrent(g_camera.cameraHandle, &g_camera.currentPicture);
    if (code == CAM_ERR_NOPICTURE) {
        g_camera.currentPicture = 0;
    } else if (code != 0) {
        return closeAfterFailure(code);
    }
    uint16_t count = 0;
    code = vx3_camGetCount(g_camera.cameraHandle, &count);
    if (code != 0) return closeAfterFailure(code);
    g_camera.pictureCount = count;
    g_camera.storageMedium = MEDIUM_INTERNAL;
    return 0;
}

uint16_t openLx3()
{
    // The library takes a speed code, in which 115200 bits per second is 7, not 6. The
    // variable itself carries the code through the open; whatever else the library leaves
    // there stays and is saved.
    if (static_cast<uint16_t>(g_settings.speedIndex) == SPEED_INDEX_115200)
        g_settings.speedIndex = (g_settings.speedIndex & ~0xFFFF) | LX3_SPEED_115200;
    uint8_t model = LX3_MODEL_NUMBER;
    uint16_t ignoredA = 0, ignoredB = 0;
    uint16_t code = vx3_camOpen(&g_camera.cameraHandle, &g_settings.portNumber, &g_settings.speedIndex, &model,
                                &ignoredA, &ignoredB);
    if (code == 0) code = readPositionLx3();
    if (static_cast<uint16_t>(g_settings.speedIndex) == LX3_SPEED_115200)
        g_settings.speedIndex = (g_settings.speedIndex & ~0xFFFF) | SPEED_INDEX_115200;
    return code;
}

uint16_t step(int direction)
{
    if (pictureCountOfModel() == 0) return 0;
    uint16_t code = 0;
    uint16_t* current = &g_camera.currentPicture;
    switch (g_settings.modelNumber) {
    case MODEL_LX1: code = direction > 0 ? vx1_camNextPicture(current) : vx1_camPrevPicture(current); break;
    case MODEL_LX2: code = direction > 0 ? vx2_camNextPicture(current) : vx2_camPrevPicture(current); break;
    case MODEL_LX3:
        code = direction > 0 ? vx3_camNextPicture(g_camera.cameraHandle, current)
                             : vx3_camPrevPicture(g_camera.cameraHandle, current);
        break;
    default: break;
    }
    return code != 0 ? closeAfterFailure(code) : 0;
}

}  // namespace

bool cameraConnected()
{
    return g_connected;
}

uint16_t cameraConnect()
{
    uint16_t code = 0;
    switch (g_settings.modelNumber) {
    case MODEL_LX1:
        code = vx1_camOpen(g_settings.portNumber, speedToBps(g_settings.speedIndex), LX1_LINE[0], LX1_LINE[1],
                           LX1_LINE[2], LX1_LINE[3], LX1_LINE[4]);
        if (code == 0) code = readStatusLx1();
        break;
    case MODEL_LX2: {
        int32_t bitsPerSecond = speedToBps(g_settings.speedIndex);
        code = vx2_camOpen(&g_settings.portNumber, &bitsPerSecond);
        if (code == 0) code = readStatusLx2(&g_camera.storageMedium);
        break;
    }
    case MODEL_LX3:
        code = openLx3();
        break;
    default:
        // No family, no library: a "connection" here would leave the window online with no
        // camera and write the bad value into the settings file.
        return CONNECT_ERR_NO_MODEL;
    }
    if (code != 0) return code;
    g_connected = true;
    settingsSave();
    return 0;
}

uint16_t cameraClose()
{
    const uint16_t code = closeLink();
    if (code == 0) g_connected = false;
    return code;
}

uint16_t cameraDisconnect()
{
    const uint16_t code = closeLink();
    g_connected = false;
    return code;
}

uint16_t cameraPrev()
{
    return step(-1);
}

uint16_t cameraNext()
{
    return step(+1);
}

uint16_t cameraGoTo(uint16_t number)
{
    if (number == g_camera.currentPicture) return 0;
    const uint16_t code = vx3_camGoToPicture(g_camera.cameraHandle, number);
    if (code != 0) return closeAfterFailure(code);
    g_camera.currentPicture = number;
    return 0;
}

uint16_t cameraSetMedium(uint16_t medium)
{
    const uint32_t keptCount = g_camera.pictureCount;
    const uint16_t keptCurrent = g_camera.currentPicture;
    // Only LX-2 cameras have two media; the window asks this of no other family.
    int32_t scratchMedium = 0;
    int32_t count = 0;
    uint16_t code = vx2_camGetStatus(&scratchMedium, &count, &g_camera.currentPicture);
    if (code != 0) return closeAfterFailure(code);
    g_camera.pictureCount = static_cast<uint32_t>(count);

    int32_t mediumInUse = static_cast<int32_t>(g_camera.storageMedium);
    code = vx2_camSetMedium(&mediumInUse, &g_camera.currentPicture, &count, medium);
    g_camera.storageMedium = static_cast<uint32_t>(mediumInUse);
    g_camera.pictureCount = static_cast<uint32_t>(count);
    // A line left open here would never be closed again.
    if (code != 0) return closeAfterFailure(code);
    if (g_camera.storageMedium != medium) {
        g_camera.pictureCount = keptCount;
        g_camera.currentPicture = keptCurrent;
    }
    return 0;
}

uint16_t cameraResync()
{
    switch (g_settings.modelNumber) {
    case MODEL_LX1: return readStatusLx1();
    case MODEL_LX2: return readStatusLx2(nullptr);
    case MODEL_LX3: return readPositionLx3();
    default: return 0;
    }
}
