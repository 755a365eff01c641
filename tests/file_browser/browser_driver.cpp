#include "browser_driver.h"

#include "camera_window/camera_window_state.h"
#include "file_browser/file_browser_window.h"
#include "file_browser/thumbnail_grid.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

LPARAM pointParam(POINT point)
{
    return MAKELPARAM(point.x, point.y);
}

}  // namespace

BrowserDriver::BrowserDriver(const std::string& directory, HWND owner)
{
    EXPECT_TRUE(SetCurrentDirectoryA(directory.c_str())) << directory;
    // With an enabled source, through the camera window's file-browser button, as a user opens it.
    HWND fileBrowserButton = g_cameraWindow.window ? GetDlgItem(g_cameraWindow.window, IDC_DISK) : nullptr;
    if (fileBrowserButton) {
        send(fileBrowserButton, BM_CLICK, 0, 0);
    } else {
        EXPECT_TRUE(createFileBrowserWindow(owner, g_cameraWindow.window));
    }
    window_ = g_fileBrowserWindow;
    EXPECT_TRUE(IsWindow(window_));
    // Bottom right of the screen, above everything: the camera windows of tests running at the
    // same time open top left.
    SetWindowPos(window_, HWND_TOPMOST, 416, 320, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    repaint();
    unmarkedLabel_ = screenPixel({cellPoint(1).x - 51, cellPoint(1).y + 53});
}

BrowserDriver::~BrowserDriver()
{
    // For looking at the window by hand: FILE_BROWSER_TEST_PAUSE_MS keeps it on screen a while.
    char pause[16] = "";
    if (GetEnvironmentVariableA("FILE_BROWSER_TEST_PAUSE_MS", pause, sizeof pause) && IsWindow(window_)) {
        const DWORD until = GetTickCount() + strtoul(pause, nullptr, 10);
        while (GetTickCount() < until) {
            pump();
            Sleep(20);
        }
    }
    if (IsWindow(window_)) destroyFileBrowserWindow();
    pump();
}

std::vector<std::string> BrowserDriver::directoryEntries() const
{
    HWND list = control(IDC_DIRECTORY);
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[512] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

void BrowserDriver::send(HWND target, UINT message, WPARAM wParam, LPARAM lParam)
{
    SendMessageA(target, message, wParam, lParam);
    pump();
}

// The list box's own answer to a click and a double click on an entry: the entry selected and
// drawn so, then LBN_SELCHANGE, and for a double click LBN_DBLCLK. (Mouse messages sent to the
// list box would be at the mercy of its capture timer and the real cursor on the shared display.)
void BrowserDriver::clickEntry(int index, bool twice)
{
    HWND list = control(IDC_DIRECTORY);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    UpdateWindow(list);
    send(window_, WM_COMMAND, MAKEWPARAM(IDC_DIRECTORY, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    if (twice) send(window_, WM_COMMAND, MAKEWPARAM(IDC_DIRECTORY, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    repaint();
}

void BrowserDriver::chooseFileType(int index)
{
    choose(control(IDC_FILETYPE), index);
}

void BrowserDriver::chooseDrive(int index)
{
    choose(control(IDC_DRIVE), index);
}

void BrowserDriver::choose(HWND box, int index)
{
    for (int step = 0; step < 32; ++step) {
        const LRESULT at = SendMessageA(box, CB_GETCURSEL, 0, 0);
        if (at == index) break;
        send(box, WM_KEYDOWN, at < index ? VK_DOWN : VK_UP, 0);
    }
    repaint();
}

POINT BrowserDriver::cellPoint(int position)
{
    const int column = (position - 1) % 3;
    const int row = (position - 1) / 3;
    return {GRID_LEFT + CELL_PITCH * column + CELL_PITCH / 2, GRID_TOP + CELL_PITCH * row + CELL_PITCH / 2};
}

void BrowserDriver::clickAt(POINT point, WPARAM keys)
{
    send(window_, WM_LBUTTONDOWN, MK_LBUTTON | keys, pointParam(point));
    send(window_, WM_LBUTTONUP, keys, pointParam(point));
}

void BrowserDriver::doubleClickAt(POINT point)
{
    clickAt(point);
    send(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, pointParam(point));
    send(window_, WM_LBUTTONUP, 0, pointParam(point));
    repaint();
}

void BrowserDriver::scroll(int code, int thumb)
{
    send(window_, WM_VSCROLL, MAKEWPARAM(code, thumb), reinterpret_cast<LPARAM>(control(IDC_FILESCROLL)));
}

void BrowserDriver::pressButton(int id)
{
    send(control(id), BM_CLICK, 0, 0);
}

void BrowserDriver::repaint()
{
    pump();
    if (IsWindow(window_)) UpdateWindow(window_);
    pump();
}

int BrowserDriver::scrollPosition() const
{
    return GetScrollPos(control(IDC_FILESCROLL), SB_CTL);
}

int BrowserDriver::scrollRangeMax() const
{
    int low = -1, high = -1;
    GetScrollRange(control(IDC_FILESCROLL), SB_CTL, &low, &high);
    EXPECT_EQ(0, low);
    return high;
}

// Read from the window's own device context, not from the screen: other tests' windows and
// message boxes may lie over the window on the shared display.
COLORREF BrowserDriver::screenPixel(POINT client) const
{
    HDC dc = GetDC(window_);
    const COLORREF colour = GetPixel(dc, client.x, client.y);
    ReleaseDC(window_, dc);
    return colour;
}

COLORREF BrowserDriver::thumbnailColour(int position) const
{
    const POINT centre = cellPoint(position);
    return screenPixel({centre.x - 30, centre.y - 16});
}

bool BrowserDriver::marked(int position) const
{
    const POINT centre = cellPoint(position);
    const COLORREF label = screenPixel({centre.x - 51, centre.y + 53});
    const COLORREF inverted = RGB(255 - GetRValue(unmarkedLabel_), 255 - GetGValue(unmarkedLabel_), 255 - GetBValue(unmarkedLabel_));
    EXPECT_TRUE(label == unmarkedLabel_ || label == inverted) << "label pixel of position " << position;
    return label == inverted;
}

std::vector<int> selectedPositions(FileKind kind)
{
    std::vector<int> positions;
    int position = 0;
    for (const FileEntry& entry : fileList()) {
        if (entry.kind != kind) continue;
        ++position;
        if (entry.selected) positions.push_back(position);
    }
    return positions;
}

std::vector<std::string> fileNames(FileKind kind)
{
    std::vector<std::string> names;
    for (const FileEntry& entry : fileList()) {
        if (entry.kind == kind) names.push_back(entry.name);
    }
    return names;
}

std::vector<int> loadedPositions()
{
    std::vector<int> positions;
    int position = 0;
    for (const FileEntry& entry : fileList()) {
        ++position;
        if (entry.loaded) positions.push_back(position);
    }
    return positions;
}
