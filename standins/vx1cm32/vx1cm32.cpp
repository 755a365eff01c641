// Simulated VX1CM32: an LX-1 camera on a COM port, played from a camera folder (camsim.h).
// LX-1 cameras hold their pictures on the memory card and run at 2400-19200 bits per second.
#include "win32/maker/vx1cm32.h"

#include "camsim.h"

namespace {

SimCamera g_camera = makeSimCamera(FAMILY_LX1);

bool lx1Speed(int32_t bitsPerSecond) {
    return bitsPerSecond == 2400 || bitsPerSecond == 4800 || bitsPerSecond == 9600 || bitsPerSecond == 19200;
}

uint16_t step(const char* operation, uint16_t* current, int direction) {
    return camsimCall(g_camera, operation, "", [&] { return camsimStep(g_camera, direction, current); });
}

}  // namespace

extern "C" {

uint16_t WINAPI vx1_camOpen(int32_t port, int32_t bitsPerSecond, int32_t fixed8, int32_t fixed0a,
                            int32_t fixed0b, int32_t fixed1, int32_t fixed0c) {
    std::string arguments = "port=" + std::to_string(port) + " speed=" + std::to_string(bitsPerSecond) +
                            " fixed=" + std::to_string(fixed8) + "," + std::to_string(fixed0a) + "," +
                            std::to_string(fixed0b) + "," + std::to_string(fixed1) + "," + std::to_string(fixed0c);
    return camsimCall(g_camera, "open", arguments, [&]() -> uint16_t {
        uint16_t code = camsimOpen(g_camera, port, bitsPerSecond);
        if (code == 0 && !lx1Speed(bitsPerSecond)) {
            camsimClose(g_camera);
            return CAMSIM_ERR_BAD_SPEED;
        }
        return code;
    }, true);
}

uint16_t WINAPI vx1_camClose() {
    return camsimCall(g_camera, "close", "", []() -> uint16_t {
        camsimClose(g_camera);
        return 0;
    });
}

uint16_t WINAPI vx1_camGetStatus(int32_t* count, uint16_t* current) {
    return camsimCall(g_camera, "getstatus", "", [&]() -> uint16_t {
        if (!count || !current) return CAMSIM_ERR_BAD_ARGUMENT;
        *count = camsimCount(g_camera);
        *current = g_camera.current;
        return 0;
    });
}

uint16_t WINAPI vx1_camNextPicture(uint16_t* current) {
    return step("nextpicture", current, +1);
}

uint16_t WINAPI vx1_camPrevPicture(uint16_t* current) {
    return step("prevpicture", current, -1);
}

uint16_t WINAPI vx1_camGetPicture(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize,
                                  void* info, int32_t fixed1a, int32_t fixed1b, ProgressCallback2 progress) {
    return camsimGetPicture(g_camera, pictureNumber, data, dataSize, info, progress);
}

}  // extern "C"
