// Simulated VX2CM32: an LX-2 camera on a COM port, played from a camera folder (camsim.h).
// LX-2 cameras hold pictures on a memory card and in internal memory, run at 2400-115200
// bits per second, and some of them cannot switch media (camera.ini: switchable=0).
#include "win32/maker/vx2cm32.h"

#include "camsim.h"

namespace {

SimCamera g_camera = makeSimCamera(FAMILY_LX2);

bool lx2Speed(int32_t bitsPerSecond) {
    for (int32_t speed : {2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (bitsPerSecond == speed) return true;
    return false;
}

std::string shown(const int32_t* value) {
    return value ? std::to_string(*value) : std::string("null");
}

uint16_t step(const char* operation, uint16_t* current, int direction) {
    return camsimCall(g_camera, operation, "", [&] { return camsimStep(g_camera, direction, current); });
}

}  // namespace

extern "C" {

uint16_t WINAPI vx2_camOpen(int32_t* port, int32_t* bitsPerSecond) {
    return camsimCall(g_camera, "open", "port=" + shown(port) + " speed=" + shown(bitsPerSecond), [&]() -> uint16_t {
        if (!port || !bitsPerSecond) return CAMSIM_ERR_BAD_ARGUMENT;
        uint16_t code = camsimOpen(g_camera, *port, *bitsPerSecond);
        if (code == 0 && !lx2Speed(*bitsPerSecond)) {
            camsimClose(g_camera);
            return CAMSIM_ERR_BAD_SPEED;
        }
        return code;
    }, true);
}

uint16_t WINAPI vx2_camClose() {
    return camsimCall(g_camera, "close", "", []() -> uint16_t {
        camsimClose(g_camera);
        return 0;
    });
}

uint16_t WINAPI vx2_camGetStatus(int32_t* medium, int32_t* count, uint16_t* current) {
    return camsimCall(g_camera, "getstatus", "", [&]() -> uint16_t {
        if (!medium || !count || !current) return CAMSIM_ERR_BAD_ARGUMENT;
        *medium = g_camera.medium;
        *count = camsimCount(g_camera);
        *current = g_camera.current;
        return 0;
    });
}

uint16_t WINAPI vx2_camPrevPicture(uint16_t* current) {
    return step("prevpicture", current, -1);
}

uint16_t WINAPI vx2_camNextPicture(uint16_t* current) {
    return step("nextpicture", current, +1);
}

uint16_t WINAPI vx2_camSetMedium(int32_t* medium, uint16_t* current, int32_t* count, int32_t requested) {
    return camsimCall(g_camera, "setmedium", "medium=" + std::to_string(requested), [&]() -> uint16_t {
        if (!medium || !current || !count) return CAMSIM_ERR_BAD_ARGUMENT;
        if (requested != MEDIUM_CARD && requested != MEDIUM_INTERNAL) return CAMSIM_ERR_BAD_ARGUMENT;
        if (g_camera.switchable && requested != g_camera.medium) {
            g_camera.medium = requested;
            g_camera.current = camsimCount(g_camera) > 0 ? 1 : 0;
        }
        *medium = g_camera.medium;
        *current = g_camera.current;
        *count = camsimCount(g_camera);
        return 0;
    });
}

uint16_t WINAPI vx2_camGetPicture(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize,
                                  void* info, int32_t fixed1a, int32_t fixed1b, ProgressCallback2 progress) {
    return camsimGetPicture(g_camera, pictureNumber, data, dataSize, info, progress);
}

}  // extern "C"
