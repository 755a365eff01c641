// The protocol's state: the one record of what the TWAIN operations read and update. It lives as
// long as the loaded library; the source serves one application at a time, so there is no
// per-application object. The protocol's files are its only writers; what the transfers
// deliver is in the transfer cursor (transfer_cursor.h), what the windows show is theirs.
#pragma once

#include "twain/twain_types.h"

// TWAIN states, held as 100 times the state number. The source never enters state 7:
// it stays at 600 through its transfers.
enum SourceStateValue : int32_t {
    STATE_DSM_OPEN     = 300,  // source manager open, source closed
    STATE_OPEN         = 400,
    STATE_ENABLED      = 500,
    STATE_XFER_READY   = 600,
};

struct SourceState {
    int32_t       state = STATE_DSM_OPEN;
    TW_IDENTITY   appIdentity;         // Id 0 while no application has the source open
    TW_IDENTITY   sourceIdentity;      // origin of every call the source makes to the manager
    ConditionCode conditionCode;
    HINSTANCE     moduleInstance;
    HWND          parentWindow;        // the application's window from MSG_ENABLEDS
    DWORD         enablingThread;      // woken after notifications when there is no parent window
    bool          cameraWindowHidden;  // hidden by MSG_DISABLEDS, shown again by the next MSG_ENABLEDS
    bool          fileBrowserHidden;   // likewise
};

extern SourceState g_source;
