// How a failed protocol operation reaches the user: the TWAIN failure report, a box
// (camera_window/error_box.h) with the operation's text and the condition's.
#pragma once

#include "twain/twain_types.h"

// The text of a condition code as the failure report appends it.
const char* conditionText(ConditionCode code);
// Shows "Twain error." with the operation text and the condition's text, owned by the
// application's parent window. The caller sets the condition code first.
void twainFailure(const char* operationText, ConditionCode code);
