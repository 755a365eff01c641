// The box that tells the user of a problem: one caption, an OK button and the exclamation
// icon, the text of a kind of message. Every part of the source shows its boxes through it;
// showing one drops the camera page's marks (the picture list).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

enum ErrorKind : uint16_t {
    ERROR_CANNOT_CONNECT  = 1,
    ERROR_COMMUNICATION   = 2,
    ERROR_SELECT_IMAGES   = 5,
    ERROR_NO_MEMORY       = 7,
    ERROR_TWAIN           = 99,
};

// The text of the box, composed as errorBox shows it: the kind's text, for ERROR_TWAIN a line
// feed and the detail, then "(code)" in lower-case hexadecimal when the code is not 0.
std::string composeErrorText(uint16_t code, uint16_t kind, const char* detail);
// Shows the modal box and returns the message box's result (no caller uses it).
int errorBox(HWND owner, uint16_t code, uint16_t kind, const char* detail);
