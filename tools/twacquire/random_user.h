// twacquire --random-user: a seeded random user and application. Thousands of events, each one
// of: a click, a key or a tab change on whatever control of the source's camera window or file
// browser a user could reach (enabled and shown), clicks while a download or decode runs (on the
// progress dialog's Cancel, and anywhere else, where a disabled window takes none), an
// application call in any state (open, close, enable, disable, native and memory transfers,
// MSG_ENDXFER, MSG_RESET, status, the transfer mechanism, image information), a camera fault
// switched on or off, or a turn of the application's message loop. Every message box is answered
// with OK. Every event must return within a bound (a watchdog thread ends the process and says
// which event hung), every picture must arrive whole, and after the run, with the source closed,
// the process must hold what it held after the warm-up. The seed reproduces a run.
#pragma once

#include "twain/twain_types.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

struct RandomUserApp {
    // The application's side, through the source manager.
    std::function<TW_UINT16(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)> callSource;
    std::function<TW_UINT16()> openSource;   // MSG_OPENDS with the chosen identity
    std::function<TW_UINT16()> closeSource;  // MSG_CLOSEDS
    std::function<TW_UINT16(TW_UINT16 msg)> userInterface;  // MSG_ENABLEDS or MSG_DISABLEDS
    // MSG_PROCESSEVENT of one message: TWRC_DSEVENT or TWRC_NOTDSEVENT, and the notification.
    std::function<TW_UINT16(MSG* message, TW_UINT16* notification)> processEvent;
    std::function<void(const char*)> say;
    HWND window;  // the application's window (the parent at MSG_ENABLEDS)
};

struct RandomUserOptions {
    uint32_t seed = 1;
    int events = 2000;
    std::string cameraRoot;     // CAMSIM_ROOT in Windows terms: COM1 to COM3 hold cameras
    std::string pictureFolder;  // the file browser's tree; the user never leaves it
    DWORD boundMs = 30000;      // the longest an event may take
    int growthLimitKiB = 1024;
    bool verbose = false;       // say every event
};

// Runs the random user; returns the number of failures found (each said).
int runRandomUser(RandomUserApp& app, const RandomUserOptions& options);
