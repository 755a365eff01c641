// The camera connection through VX1CM32, VX2CM32 and VX3CM32 (bound by ordinal).
#include "camera/camera_connection.h"

#include <cstdio>
#include <cstdlib>

#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "win32/maker/vx3cm32.h"
#include "camera_window/picture_list.h"
#include "resources/resource_ids.h"
#include "twain/source_state.h"

namespace {

// LX-1: bit layout of the line, as the library's set-up expects it.
const int32_t LX1_LINE[] = {8, 0, 0, 1, 0};
// What the number box may hold: four digits are more than any camera's count needs.
const int NUMBER_BOX_CHARACTERS = 4;

uint16_t closeAfterFailure(uint16_t code)
{
    switch (g_settings.modelNumber) {
    case MODEL_LX1: vx1_camClose(); break;
    case MODEL_LX2: vx2_camClose(); break;
    case MODEL_LX3: vx3_camClose(g_camera.cameraHandle); break;
    default: break;
    }
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
    if (code != 0) return closeAfterFailure(code);
    cameraShowNumbers();
    return 0;
}

HWND pageControl(int id)
{
    HWND window = g_source.cameraWindow;
    return window && IsWindow(window) ? GetDlgItem(window, id) : nullptr;
}

void setNumber(int id, unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lu", value);
    HWND box = pageControl(id);
    if (!box) return;
    // Setting the number box notifies the window, whose jump puts the current number back when
    // the box holds no valid one: with no current picture (0) that would never end.
    char shown[16] = "";
    GetWindowTextA(box, shown, sizeof shown);
    if (lstrcmpA(shown, text) != 0) SetWindowTextA(box, text);
}

}  // namespace

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
    g_camera.connected = true;
    settingsSave();
    return 0;
}

uint16_t cameraClose()
{
    pictureListEmpty();
    switch (g_settings.modelNumber) {
    case MODEL_LX1: return vx1_camClose();
    case MODEL_LX2: vx2_camClose(); return 0;  // its code means nothing
    case MODEL_LX3: return vx3_camClose(g_camera.cameraHandle);
    default: return 0;
    }
}

uint16_t cameraPrev()
{
    return step(-1);
}

uint16_t cameraNext()
{
    return step(+1);
}

uint16_t cameraGoTo(WPARAM command)
{
    if (g_settings.modelNumber != MODEL_LX3 || pictureCountOfModel() == 0 || HIWORD(command) != EN_CHANGE) return 0;
    HWND box = pageControl(IDC_NUMBER);
    char text[NUMBER_BOX_CHARACTERS + 1] = "";
    if (!box || GetWindowTextA(box, text, sizeof text) == 0) return 0;

    const uint16_t number = static_cast<uint16_t>(std::atoi(text));
    if (number == 0 || number > pictureCountOfModel()) {
        cameraShowNumbers();
        return 0;
    }
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
    pictureListEmpty();
    // Only LX-2 cameras have two media; the window calls this for no other family.
    int32_t scratchMedium = 0;
    int32_t count = 0;
    uint16_t code = vx2_camGetStatus(&scratchMedium, &count, &g_camera.currentPicture);
    if (code != 0) {
        vx2_camClose();
        return code;
    }
    g_camera.pictureCount = static_cast<uint32_t>(count);

    int32_t mediumInUse = static_cast<int32_t>(g_camera.storageMedium);
    code = vx2_camSetMedium(&mediumInUse, &g_camera.currentPicture, &count, medium);
    g_camera.storageMedium = static_cast<uint32_t>(mediumInUse);
    g_camera.pictureCount = static_cast<uint32_t>(count);
    if (code != 0) {
        // The window falls back to the option page with the link marked closed: a line left
        // open here would never be closed again.
        vx2_camClose();
        return code;
    }
    if (g_camera.storageMedium != medium) {
        g_camera.pictureCount = keptCount;
        g_camera.currentPicture = keptCurrent;
    }
    cameraShowNumbers();
    return 0;
}

uint16_t cameraResync()
{
    uint16_t code = 0;
    switch (g_settings.modelNumber) {
    case MODEL_LX1: code = readStatusLx1(); break;
    case MODEL_LX2: code = readStatusLx2(nullptr); break;
    case MODEL_LX3: code = readPositionLx3(); break;
    default: break;
    }
    if (code != 0) return code;
    cameraShowNumbers();
    return 0;
}

void cameraShowNumbers()
{
    setNumber(IDC_NUMBER, g_camera.currentPicture);
    setNumber(IDC_TOTAL, pictureCountOfModel());
    HWND window = g_source.cameraWindow;
    if (window && IsWindow(window)) InvalidateRect(window, nullptr, FALSE);
}
