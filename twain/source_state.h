// The source state: the one record of the data source that the TWAIN operations and the
// source's windows read and update. It lives as long as the loaded library; the source
// serves one application at a time, so there is no per-application object.
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

// Who announced the current transfer; steers acquisition and transfer failures.
enum TransferOrigin : uint16_t {
    ORIGIN_NONE          = 0,
    ORIGIN_FILE_BROWSER  = 1,
    ORIGIN_CAMERA_WINDOW = 2,
};

// Kind of the files announced by the file browser.
enum FileKind : uint16_t {
    FILE_KIND_EXIF = 0,
    FILE_KIND_K4I  = 1,
    FILE_KIND_NONE = 2,  // the file-type box shows no known type
};

constexpr size_t SAVED_DIRECTORY_SIZE = 256;

struct SourceState {
    int32_t          state = STATE_DSM_OPEN;
    TW_IDENTITY      appIdentity;      // Id 0 while no application has the source open
    TW_IDENTITY      sourceIdentity;   // origin of every call the source makes to the manager
    ConditionCode    conditionCode;
    int16_t          pendingCount;
    uint16_t         imageInfoMarker;  // pending count for which DAT_IMAGEINFO last answered
    HGLOBAL          currentBitmap;    // bitmap being delivered by memory transfer, 0 when none
    BITMAPINFOHEADER imageHeader;      // header of the most recently decoded image
    uint32_t         bytesRemaining;   // image bytes not yet delivered by memory transfer
    BYTE*            nextRow;          // inside the locked current bitmap
    TransferOrigin   transferOrigin;
    HINSTANCE        moduleInstance;
    HWND             parentWindow;
    HWND             cameraWindow;
    HWND             fileBrowserWindow;
    bool             cameraWindowHidden;   // hidden by MSG_DISABLEDS, shown again by the next MSG_ENABLEDS
    bool             fileBrowserHidden;    // likewise
    DWORD            enablingThread;       // woken after notifications when there is no parent window
    char             savedDirectory[SAVED_DIRECTORY_SIZE];
    FileKind         fileKind;
};

extern SourceState g_source;
