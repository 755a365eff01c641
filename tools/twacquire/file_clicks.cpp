#include "file_clicks.h"

#include "control_text.h"
#include "resources/resource_ids.h"
#include "window_capture.h"

#include <cstring>

namespace {

const DWORD SETTLE_MS = 200;
// The grid: cells of 126 pixels from (16, 20), three to a row.
const int GRID_LEFT = 16, GRID_TOP = 20, CELL = 126, COLUMNS = 3;

BOOL CALLBACK findBrowser(HWND window, LPARAM found)
{
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "FILEMAINWINDOW") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

std::string listEntry(HWND list, int index)
{
    char text[300] = "";
    if (SendMessageA(list, LB_GETTEXTLEN, index, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

void screenshot(const FileClicks& user, HWND window, const char* name)
{
    if (user.screenshotFolder.empty()) return;
    const std::string path = user.screenshotFolder + "\\" + name + ".bmp";
    if (saveWindowCapture(window, path)) user.say(("  (screenshot " + path + ")").c_str());
}

void clickThumbnail(HWND browser, int position, WPARAM keys)
{
    const int column = (position - 1) % COLUMNS, row = (position - 1) / COLUMNS;
    const LPARAM at = MAKELPARAM(GRID_LEFT + CELL * column + CELL / 2, GRID_TOP + CELL * row + CELL / 2);
    SendMessageA(browser, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    SendMessageA(browser, WM_LBUTTONUP, keys, at);
}

}  // namespace

bool pickFilesInBrowser(const FileClicks& user)
{
    HWND button = GetDlgItem(user.cameraWindow, IDC_DISK);
    if (!button || !IsWindowEnabled(button)) {
        user.say("FAILED: the camera window has no file-browser button to press.");
        return false;
    }
    user.say("The user presses the file-browser button of the camera window.");
    SendMessageA(button, BM_CLICK, 0, 0);
    user.pump(SETTLE_MS);
    HWND browser = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findBrowser, reinterpret_cast<LPARAM>(&browser));
    if (!browser) {
        user.say("FAILED: no file browser window (class FILEMAINWINDOW) came up.");
        return false;
    }
    HWND list = GetDlgItem(browser, IDC_DIRECTORY);
    std::string path;
    for (int i = 0, n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        const std::string entry = listEntry(list, i);
        path += (i ? " | " : "") + entry;
    }
    user.say(("The file browser shows the directory list " + path + " and the file type \"" +
              chosenEntry(GetDlgItem(browser, IDC_FILETYPE)) + "\"; the camera window is " +
              (IsWindowVisible(user.cameraWindow) ? "still shown." : "hidden."))
                 .c_str());
    screenshot(user, browser, "file-browser");

    std::string clicked;
    for (size_t i = 0; i < user.positions.size(); ++i) {
        clickThumbnail(browser, user.positions[i], i == 0 ? 0 : MK_CONTROL);
        clicked += (i == 0 ? "clicks thumbnail " : ", Ctrl-clicks ") + std::to_string(user.positions[i]);
    }
    user.pump(SETTLE_MS);
    user.say(("The user " + clicked + ".").c_str());
    screenshot(user, browser, "file-browser-selected");
    user.say("The user presses OK in the file browser.");
    SendMessageA(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    return true;
}
