// Capability negotiation (DG_CONTROL / DAT_CAPABILITY) and the capability values that the
// rest of the protocol reads or sets from each decoded picture's facts (transfer_cursor.h).
#pragma once

#include "twain/dispatch.h"

ReturnCode capabilityOperation(const DispatchRecord& call);

// True when the application chose memory transfer (ICAP_XFERMECH at TWSX_MEMORY).
bool memoryTransferSelected();

// Both resolution ranges back to min 40, max 600, step 1, default 300, current 300 (at MSG_OPENDS).
void resetResolutionCapabilities();

// Set from each decoded picture's facts: resolution in pixels per unit and the unit.
void setImageResolution(TW_FIX32 x, TW_FIX32 y);
void setImageUnits(TW_UINT16 units);  // TWUN_CENTIMETERS or TWUN_PIXELS

TW_FIX32 currentXResolution();
TW_FIX32 currentYResolution();
