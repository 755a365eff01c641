// Simulated VX3CM32: an LX-3 camera on a COM port, played from a camera folder (camsim.h).
// LX-3 cameras keep Exif JPEG pictures in internal memory, take a speed code instead of
// bits per second, and hand out a camera handle that every later call must bring back.
#include "win32/maker/vx3cm32.h"

#include "camsim.h"

namespace {

SimCamera g_camera = makeSimCamera(FAMILY_LX3);
CameraHandle g_handle = 0;

// Speed codes 0-5 and 7; code 6 has no speed.
const int32_t kSpeedOfCode[8] = {2400, 4800, 9600, 19200, 38400, 57600, 0, 115200};

template <typename Body>
uint16_t withHandle(const char* operation, const std::string& arguments, CameraHandle handle, Body body) {
    return camsimCall(g_camera, operation, arguments, [&]() -> uint16_t {
        if (handle != g_handle) return CAMSIM_ERR_BAD_HANDLE;
        return body();
    });
}

uint16_t step(const char* operation, CameraHandle handle, uint16_t* current, int direction) {
    return withHandle(operation, "", handle, [&] { return camsimStep(g_camera, direction, current); });
}

}  // namespace

extern "C" {

uint16_t WINAPI vx3_camOpen(CameraHandle* handle, int32_t* port, int32_t* speedCode, uint8_t* model,
                            uint16_t* ignoredA, uint16_t* ignoredB) {
    std::string arguments = "port=" + (port ? std::to_string(*port) : std::string("null")) +
                            " speed=" + (speedCode ? std::to_string(*speedCode) : std::string("null")) +
                            " model=" + (model ? std::to_string(*model) : std::string("null"));
    return camsimCall(g_camera, "open", arguments, [&]() -> uint16_t {
        if (!handle || !port || !speedCode || !model) return CAMSIM_ERR_BAD_ARGUMENT;
        *handle = 0;
        uint16_t code = camsimOpen(g_camera, *port, 0);
        if (code != 0) return code;
        if (*model != LX3_MODEL_NUMBER) {
            camsimClose(g_camera);
            return CAMSIM_ERR_BAD_ARGUMENT;
        }
        if (*speedCode < 0 || *speedCode > 7 || kSpeedOfCode[*speedCode] == 0) {
            camsimClose(g_camera);
            return CAMSIM_ERR_BAD_SPEED;
        }
        g_camera.bitsPerSecond = kSpeedOfCode[*speedCode];
        // Distinct per port and per connection, so a stale handle from an earlier one is refused.
        static uint16_t connections = 0;
        g_handle = 0x4C330000u | (static_cast<uint32_t>(++connections & 0xFF) << 8) | static_cast<uint32_t>(*port & 0xFF);
#ifdef _WIN64
        // The 64-bit library's handles use their upper half, so a caller that keeps only 32
        // bits of one is refused as holding a stale handle.
        g_handle |= static_cast<CameraHandle>(0x4C33) << 40;
#endif
        *handle = g_handle;
        if (ignoredA) *ignoredA = 0;
        if (ignoredB) *ignoredB = 0;
        return 0;
    }, true);
}

uint16_t WINAPI vx3_camClose(CameraHandle handle) {
    return withHandle("close", "", handle, []() -> uint16_t {
        camsimClose(g_camera);
        g_handle = 0;
        return 0;
    });
}

uint16_t WINAPI vx3_camGetCurrent(CameraHandle handle, uint16_t* current) {
    return withHandle("getcurrent", "", handle, [&]() -> uint16_t {
        if (!current) return CAMSIM_ERR_BAD_ARGUMENT;
        if (camsimCount(g_camera) == 0 || camsimSetting(g_camera, "faults", "nopicture") == "1") {
            *current = 0;
            return CAM_ERR_NOPICTURE;
        }
        *current = g_camera.current;
        return 0;
    });
}

uint16_t WINAPI vx3_camGetCount(CameraHandle handle, uint16_t* count) {
    return withHandle("getcount", "", handle, [&]() -> uint16_t {
        if (!count) return CAMSIM_ERR_BAD_ARGUMENT;
        *count = camsimCount(g_camera);
        return 0;
    });
}

uint16_t WINAPI vx3_camNextPicture(CameraHandle handle, uint16_t* current) {
    return step("nextpicture", handle, current, +1);
}

uint16_t WINAPI vx3_camPrevPicture(CameraHandle handle, uint16_t* current) {
    return step("prevpicture", handle, current, -1);
}

uint16_t WINAPI vx3_camGoToPicture(CameraHandle handle, uint16_t pictureNumber) {
    return withHandle("gotopicture", "n=" + std::to_string(pictureNumber), handle, [&]() -> uint16_t {
        if (pictureNumber < 1 || pictureNumber > camsimCount(g_camera)) return CAMSIM_ERR_NO_SUCH_PICTURE;
        g_camera.current = pictureNumber;
        return 0;
    });
}

uint16_t WINAPI vx3_camGetPicture(CameraHandle handle, PICTURE_REQUEST* request, int32_t fixed1,
                                  PROGRESS_HOOK* progress) {
    if (request) {
        request->data = nullptr;
        request->dataSize = 0;
    }
    std::string arguments = "n=" + (request ? std::to_string(request->pictureNumber) : std::string("null"));
    return withHandle("getpicture", arguments, handle, [&]() -> uint16_t {
        if (!request) return CAMSIM_ERR_BAD_ARGUMENT;
        return camsimDownload(g_camera, request->pictureNumber, ProgressTarget{nullptr, progress}, &request->data,
                              &request->dataSize);
    });
}

}  // extern "C"
