// What the camera window keeps between messages, shared by the window, its camera page
// commands, the page drawing and the progress dialog it owns. Module-wide: one camera window at
// a time. The camera window's files are its only writers.
#pragma once

#include <windows.h>
#include <cstdint>

// Private messages, wParam and lParam 0: show the option page, show the camera page.
constexpr UINT UM_OPTIONTAB = WM_USER + 10;
constexpr UINT UM_CAMERATAB = WM_USER + 11;

// Which page is shown, and whether a camera connection is open.
enum PageState : uint16_t {
    OPTION_OFFLINE = 0,
    CAMERA_ONLINE  = 1,
    OPTION_ONLINE  = 2,
    CAMERA_OFFLINE = 3,
};

// The camera page command being carried out; the SELECT button's drawing reads it to show the
// look of the picture that the command is about to make current.
enum BusyCommand : uint16_t {
    BUSY_NONE       = 0,
    BUSY_SELECT     = 1,
    BUSY_NEXT       = 2,
    BUSY_PREVIOUS   = 3,
    BUSY_SELECT_ALL = 4,
    BUSY_CANCEL_ALL = 5,
};

// The five fonts, made when the window is created and deleted when it goes. The file browser
// borrows three of them (shared_fonts.h).
struct WindowFonts {
    HFONT control;  // CANCEL, OK, port and speed boxes, both number boxes; the file browser
    HFONT grid;     // the file browser's thumbnail names
    HFONT label;    // the camera page's labels
    HFONT model;    // the model box
    HFONT browser;  // the file browser's lists
};

// The bitmaps of the bitmap buttons that live as long as the window; every other bitmap is
// loaded for one drawing. The two disk pairs are separate handles of the same pictures.
// Any of them is 0 when its resource is missing: the button is then drawn without it.
struct KeptBitmaps {
    HBITMAP clear;              // IDB_CLEAR: CANCEL ALL released
    HBITMAP clearPressed;       // IDB_CLEARDW
    HBITMAP selectAll;          // IDB_DISK: SELECT ALL released
    HBITMAP selectAllPressed;   // IDB_DISKDW
    HBITMAP camera;             // IDB_CAMERA: camera link, no connection
    HBITMAP cameraPressed;      // IDB_CAMERADW: camera link, connection open
    HBITMAP select;             // IDB_DISK: SELECT, picture not selected
    HBITMAP selectPressed;      // IDB_DISKDW: SELECT, picture selected
};

struct CameraWindowState {
    HWND        window;         // 0 while there is none
    HWND        application;    // the application's window it belongs to, 0 for none
    PageState   page;
    bool        settingsTaken;  // the option page's boxes are gone and their values taken
    BusyCommand busy;
    WindowFonts fonts;
    KeptBitmaps bitmaps;
};

extern CameraWindowState g_cameraWindow;

inline bool cameraPageShown()
{
    return g_cameraWindow.page == CAMERA_ONLINE || g_cameraWindow.page == CAMERA_OFFLINE;
}
