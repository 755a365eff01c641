// How failures reach the user: the error box, which every part of the source calls with a
// kind of message, and the TWAIN failure report of the protocol handlers. Every box has one
// caption, an OK button and the exclamation icon; showing one empties the picture list.
#pragma once

#include "twain/twain_types.h"
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

// The text of a condition code as the failure report appends it.
const char* conditionText(ConditionCode code);

// Shows "Twain error." with the operation text and the condition's text, owned by the
// application's parent window. The caller sets the condition code first.
void twainFailure(const char* operationText, ConditionCode code);
