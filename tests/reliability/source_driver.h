// The data source as an application and its user meet it, for the reliability tests: the built
// LX3TWS32.ds loaded by its path and called through the DS_Entry it exports, the camera window
// found among the thread's windows and clicked by the messages a user's clicks produce, the
// pictures received by native or memory transfer and checked whole, and what the source left
// behind (boxes, notifications, the temporary folder). Nothing here reaches into the source's
// code or state.
#pragma once

#include <windows.h>

#include "fake_dsm.h"
#include "twain/twain_types.h"

#include <functional>
#include <string>
#include <vector>

// A picture as the application received it: compact RGB rows, top row first.
struct Received {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// What one transfer call ended with.
struct TransferResult {
    TW_UINT16 answer = 0;         // the return code of the call that ended the picture
    TW_UINT16 condition = 0;      // the condition code read after the call (native: after a failure or cancel)
    bool delivered = false;       // a whole picture arrived
    bool halfDelivered = false;   // rows arrived, but the picture did not end with TWRC_XFERDONE
    bool handleWithFailure = false;  // a native transfer that failed but left a handle behind
    Received picture;
};

class SourceDriver {
public:
    SourceDriver();
    ~SourceDriver();
    SourceDriver(const SourceDriver&) = delete;
    SourceDriver& operator=(const SourceDriver&) = delete;

    bool loaded() const { return entry_ != nullptr; }
    TW_UINT16 call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
    TW_UINT16 control(TW_UINT16 dat, TW_UINT16 msg, void* data) { return call(DG_CONTROL, dat, msg, data); }

    TW_UINT16 open();
    TW_UINT16 close();
    TW_UINT16 enable();
    TW_UINT16 disable();
    TW_UINT16 conditionCode();
    TW_UINT16 setMechanism(TW_UINT16 mechanism);
    // MSG_ENDXFER: the pending count the source answers.
    int endTransfer();

    // One picture by the negotiated mechanism. Memory transfers use buffers of `rows` rows.
    TransferResult nativeTransfer();
    TransferResult memoryTransfer(uint32_t rows = 16);

    // The notifications the source sent the manager since the last clear: MSG_XFERREADY and
    // MSG_CLOSEDSREQ.
    int notifications(TW_UINT16 message) const;
    void clearNotifications();

    HWND applicationWindow() const { return window_; }

private:
    HMODULE module_ = nullptr;
    DSENTRYPROC entry_ = nullptr;
    FakeDsm manager_;
    HWND window_ = nullptr;
    TW_IDENTITY app_ = {};
    TW_USERINTERFACE ui_ = {};
};

// The windows of this thread with the given class (the source's windows are the application's
// thread's).
HWND findThreadWindow(const char* className);
HWND cameraWindow();
HWND fileBrowserWindow();
// Dispatches what is queued for this thread.
void pumpMessages();

// The user at the camera window.
class CameraUser {
public:
    // The camera-link button's page: "offline" (option page, boxes enabled), "online" (camera
    // page, OK enabled), or what else the window shows.
    static std::string page();
    // Chooses the family's entry, COM1 and 19200bps on the option page and presses the link.
    static bool connect(int family);
    static void click(int id);
    // Types a number into the picture number box (LX-3 jumps there).
    static void type(const std::string& number);
    static void closeBox();
};

// The user at the file browser (opened by the camera window's file-browser button on the
// process's current directory). Cells are numbered from 1, three to a row.
class BrowserUser {
public:
    static bool open();  // presses the file-browser button; true when the browser came up
    static HWND window() { return fileBrowserWindow(); }
    static void click(int position, WPARAM keys = 0);
    static void doubleClick(int position);
    static void ok();
    static void cancel();
    static void chooseFileType(int index);  // 0 Exif, 1 K4I
    static void enterEntry(int index);      // a double click on a directory list entry
    static std::vector<std::string> entries();
    static void scroll(int code, int thumb = 0);
    // What the cell's thumbnail area shows: "empty" (no file), "placeholder" (the crossed frame)
    // or the thumbnail's colour as "#rrggbb".
    static std::string cell(int position);
};

// Cancels a progress dialog as a user would, by its Cancel button, when the n-th dialog of the
// given title shows the given percentage ("50%"). Only one at a time, on this thread.
class CancelInDialog {
public:
    CancelInDialog(const std::string& title, int occurrence, int percent);
    ~CancelInDialog();
    CancelInDialog(const CancelInDialog&) = delete;
    CancelInDialog& operator=(const CancelInDialog&) = delete;
    bool pressed() const;

private:
    HHOOK hook_;
};

// A folder of the test's own under the temporary path, with a name no earlier run used, removed
// with everything in it at the end (names beyond MAX_PATH included).
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Removes a folder and everything in it, through the \\?\ form of the paths.
void removeFolder(const std::string& path);

