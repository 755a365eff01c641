#include "camera_window/error_box.h"

#include "camera_window/picture_list.h"

#include <cstdio>

namespace {

const char ERROR_CAPTION[] = "MELVO DIGITAL CAMERA ERROR";

const char* kindText(uint16_t kind)
{
    switch (kind) {
    case ERROR_CANNOT_CONNECT: return "Cannot connect to the camera.\nPlease check the connection.";
    case ERROR_COMMUNICATION:  return "Communication failure.\nPlease reset the camera.";
    case ERROR_SELECT_IMAGES:  return "Please select image(s).";
    case ERROR_NO_MEMORY:      return "Insufficient memory. Please close other applications.";
    case ERROR_TWAIN:          return "Twain error.";
    default:                   return "OTHER ERROR";
    }
}

}  // namespace

std::string composeErrorText(uint16_t code, uint16_t kind, const char* detail)
{
    std::string text = kindText(kind);
    if (kind == ERROR_TWAIN) {
        text += '\n';
        text += detail ? detail : "";
    }
    if (code != 0) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "(%x)", static_cast<unsigned>(code));
        text += hex;
    }
    return text;
}

int errorBox(HWND owner, uint16_t code, uint16_t kind, const char* detail)
{
    pictureListEmpty();
    const std::string text = composeErrorText(code, kind, detail);
    // An owner that has gone away would make the box fail to show: show it unowned instead.
    if (owner && !IsWindow(owner)) owner = nullptr;
    return MessageBoxA(owner, text.c_str(), ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}
