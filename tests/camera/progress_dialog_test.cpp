// The progress dialog driven as the libraries drive it: real dialogs from the source's
// templates, real messages through the one-message pump, pixels read back from the bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/camera_settings.h"
#include "win32/maker/maker_common.h"
#include "camera_window/progress_dialog.h"
#include "progress_test_window.h"
#include "resources/resource_ids.h"
#include "camera_window/window_class.h"

namespace {

std::string windowText(HWND window) {
    char text[128] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string itemText(int id) {
    return windowText(GetDlgItem(progressDialog(), id));
}

// The four callbacks behind one signature, for table-driven cases.
struct Callback {
    const char* name;
    int (*call)(int code, int value);
    const char* title;
};

int download(int code, int value) { return progressDownload(code, value); }
int downloadLx3(int code, int value) { return progressDownloadLx3(code, value, 1); }
int decodeExif(int code, int value) { return progressDecodeExif(code, value, 1); }
int decodeK4i(int code, int value) { return progressDecodeK4i(code, value); }

const Callback CALLBACKS[] = {
    {"download", download, "Now Loading ..."},
    {"LX-3 download", downloadLx3, "Now Loading ..."},
    {"Exif decode", decodeExif, "Changing Image Data..."},
    {"K4I decode", decodeK4i, "Changing Image Data..."},
};

class ProgressDialog : public ::testing::Test {
protected:
    void SetUp() override {
        setWindowsModule(GetModuleHandleA(nullptr));  // the templates are in this executable
        g_settings = {1, 1, 3};
        progressSetOwner(windows.owner);
    }
    void TearDown() override {
        progressFinish();
        progressSetOwner(nullptr);
    }
    TestWindows windows;
};

TEST_F(ProgressDialog, BeginShowsTheDialogAndDisablesTheOwnerUntilTheEnd) {
    for (const Callback& callback : CALLBACKS) {
        SCOPED_TRACE(callback.name);
        ASSERT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_BEGIN, 0));
        HWND dialog = progressDialog();
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(callback.title, windowText(dialog));
        EXPECT_EQ(windows.owner, GetWindow(dialog, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(windows.owner));
        EXPECT_EQ("0%", itemText(IDC_PERCENT));
        EXPECT_EQ("Cancel", itemText(IDCANCEL));

        for (int percent = 0; percent <= 100; percent += 10) EXPECT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_PERCENT, percent));
        EXPECT_EQ("100%", itemText(IDC_PERCENT));

        EXPECT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_END, 0));
        EXPECT_EQ(nullptr, progressDialog());
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_TRUE(IsWindowEnabled(windows.owner));
    }
}

TEST_F(ProgressDialog, OnlyTheDownloadDialogNamesItsScaleLabels) {
    progressDownload(PROGRESS_BEGIN, 0);
    EXPECT_EQ("Processing ...", itemText(IDC_PROCESSING));
    EXPECT_EQ("50", itemText(IDC_SCALE50));
    progressDownload(PROGRESS_END, 0);

    progressDecodeK4i(PROGRESS_BEGIN, 0);
    EXPECT_EQ(nullptr, GetDlgItem(progressDialog(), IDC_PROCESSING));
    EXPECT_EQ(nullptr, GetDlgItem(progressDialog(), IDC_SCALE50));
    EXPECT_NE(nullptr, GetDlgItem(progressDialog(), IDC_BAR));
    progressDecodeK4i(PROGRESS_END, 0);
}

TEST_F(ProgressDialog, CancelPostedToTheDialogMakesTheNextCallStop) {
    for (const Callback& callback : CALLBACKS) {
        SCOPED_TRACE(callback.name);
        ASSERT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_BEGIN, 0));
        EXPECT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_PERCENT, 10));
        pumpAllMessages();
        PostMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(PROGRESS_HALT, callback.call(PROGRESS_PERCENT, 20));
        EXPECT_EQ(PROGRESS_HALT, callback.call(PROGRESS_PERCENT, 30)) << "the cancel stays until the next begin";
        EXPECT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_END, 0));
        EXPECT_TRUE(IsWindowEnabled(windows.owner));

        ASSERT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_BEGIN, 0)) << "a new dialog starts uncancelled";
        EXPECT_EQ(PROGRESS_GO_ON, callback.call(PROGRESS_PERCENT, 10));
        callback.call(PROGRESS_END, 0);
    }
}

TEST_F(ProgressDialog, EscapeCancelsThroughTheDialogHandling) {
    progressDownload(PROGRESS_BEGIN, 0);
    pumpAllMessages();
    PostMessageA(GetDlgItem(progressDialog(), IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(PROGRESS_HALT, progressDownload(PROGRESS_PERCENT, 5));
}

TEST_F(ProgressDialog, CancelPressedBeforeTheFirstProgressMakesBeginStop) {
    // The application's message that the begin step runs is the one that presses Cancel.
    windows.postAction([] { SendMessageA(GetDlgItem(progressDialog(), IDCANCEL), BM_CLICK, 0, 0); });
    EXPECT_EQ(PROGRESS_HALT, progressDownloadLx3(PROGRESS_BEGIN, 0, 1));
    EXPECT_EQ(1, windows.actionsRun());
    EXPECT_EQ(PROGRESS_GO_ON, progressDownloadLx3(PROGRESS_END, 0, 1));
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
}

TEST_F(ProgressDialog, EachCallRunsAtMostOneQueuedMessage) {
    for (const Callback& callback : CALLBACKS) {
        SCOPED_TRACE(callback.name);
        callback.call(PROGRESS_BEGIN, 0);
        pumpAllMessages();
        const int before = windows.actionsRun();
        for (int i = 0; i < 3; ++i) windows.postAction([] {});
        callback.call(PROGRESS_PERCENT, 10);
        EXPECT_EQ(before + 1, windows.actionsRun());
        callback.call(PROGRESS_PERCENT, 20);
        callback.call(PROGRESS_PERCENT, 30);
        EXPECT_EQ(before + 3, windows.actionsRun());
        callback.call(PROGRESS_PERCENT, 40);  // empty queue: returns at once
        EXPECT_EQ(before + 3, windows.actionsRun());
        callback.call(PROGRESS_END, 0);
    }
}

TEST_F(ProgressDialog, OtherCodesDoNothing) {
    for (const Callback& callback : CALLBACKS) {
        for (int code : {0, 3, 15, 17, -1}) EXPECT_EQ(PROGRESS_GO_ON, callback.call(code, 50)) << callback.name;
        EXPECT_EQ(nullptr, progressDialog());
        EXPECT_TRUE(IsWindowEnabled(windows.owner));
    }
}

TEST_F(ProgressDialog, QuitRequestSurvivesThePump) {
    progressDownload(PROGRESS_BEGIN, 0);
    pumpAllMessages();
    PostQuitMessage(7);
    progressDownload(PROGRESS_PERCENT, 10);
    progressDownload(PROGRESS_END, 0);
    MSG message;
    bool sawQuit = false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            sawQuit = true;
            EXPECT_EQ(7u, message.wParam);
        }
    }
    EXPECT_TRUE(sawQuit) << "the application's loop must still get its WM_QUIT";
}

// ---- Redraw limit -------------------------------------------------------------------------

TEST_F(ProgressDialog, Lx3AtTheFastestLineDrawsOnlyEveryTenthPercent) {
    g_settings = {3, 1, SPEED_INDEX_115200};
    progressDownloadLx3(PROGRESS_BEGIN, 0, 1);
    pumpAllMessages();
    SetTextCounter drawn(GetDlgItem(progressDialog(), IDC_PERCENT));
    const int before = windows.actionsRun();
    for (int i = 0; i < 100; ++i) windows.postAction([] {});
    for (int percent = 1; percent <= 100; ++percent) ASSERT_EQ(PROGRESS_GO_ON, progressDownloadLx3(PROGRESS_PERCENT, percent, 1));
    EXPECT_EQ(10, drawn.count());
    EXPECT_EQ(before + 100, windows.actionsRun()) << "every call still runs one message";
    EXPECT_EQ("100%", itemText(IDC_PERCENT));
    progressDownloadLx3(PROGRESS_END, 0, 1);

    g_settings.speedIndex = 5;  // 57600 bps: every new percentage is drawn
    progressDownloadLx3(PROGRESS_BEGIN, 0, 1);
    SetTextCounter drawnSlow(GetDlgItem(progressDialog(), IDC_PERCENT));
    for (int percent = 1; percent <= 100; ++percent) progressDownloadLx3(PROGRESS_PERCENT, percent, 1);
    EXPECT_EQ(100, drawnSlow.count());
}

TEST_F(ProgressDialog, AnUnchangedPercentIsDrawnAtMostFourTimesInARow) {
    progressDownload(PROGRESS_BEGIN, 0);
    SetTextCounter drawn(GetDlgItem(progressDialog(), IDC_PERCENT));
    for (int i = 0; i < 4; ++i) progressDownload(PROGRESS_PERCENT, 37);
    const int afterFour = drawn.count();
    EXPECT_GE(afterFour, 3);
    EXPECT_LE(afterFour, 4);
    for (int i = 0; i < 6; ++i) progressDownload(PROGRESS_PERCENT, 37);
    EXPECT_EQ(afterFour, drawn.count()) << "from the fifth call on nothing is redrawn";
    progressDownload(PROGRESS_PERCENT, 38);
    EXPECT_EQ(afterFour + 1, drawn.count()) << "a new percent always redraws";
    EXPECT_EQ("38%", itemText(IDC_PERCENT));
}

TEST_F(ProgressDialog, Lx2DrawsEveryTimeAndWritesItsLabelsAgain) {
    g_settings = {2, 1, 6};
    progressDownload(PROGRESS_BEGIN, 0);
    EXPECT_EQ("Processing...", itemText(IDC_PROCESSING));
    SetTextCounter drawn(GetDlgItem(progressDialog(), IDC_PERCENT));
    for (int i = 0; i < 8; ++i) progressDownload(PROGRESS_PERCENT, 37);
    EXPECT_EQ(8, drawn.count());
    EXPECT_EQ("100", itemText(IDC_SCALE100));
    EXPECT_EQ("Cancel", itemText(IDCANCEL));
}

// ---- The bar ------------------------------------------------------------------------------

// Gray pixels along the middle row of the bar control, read from the screen.
int grayPixelsOfBar() {
    HWND bar = GetDlgItem(progressDialog(), IDC_BAR);
    RECT client;
    GetClientRect(bar, &client);
    HDC dc = GetDC(bar);
    int gray = 0;
    const int y = (client.top + client.bottom) / 2;
    for (int x = client.left; x < client.right; ++x)
        if (GetPixel(dc, x, y) == RGB(128, 128, 128)) ++gray;
    ReleaseDC(bar, dc);
    return gray;
}

int barInnerWidth() {
    RECT client;
    GetClientRect(GetDlgItem(progressDialog(), IDC_BAR), &client);
    return client.right - client.left - 2;
}

TEST_F(ProgressDialog, BarIsFilledInProportionAndSurvivesRepainting) {
    progressDownload(PROGRESS_BEGIN, 0);
    pumpAllMessages();
    ASSERT_GT(barInnerWidth(), 50);
    for (int percent : {10, 42, 50, 100}) {
        progressDownload(PROGRESS_PERCENT, percent);
        EXPECT_EQ(barInnerWidth() * percent / 100, grayPixelsOfBar()) << percent;
        EXPECT_EQ(std::to_string(percent) + "%", itemText(IDC_PERCENT));
    }
    RedrawWindow(progressDialog(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    pumpAllMessages();
    EXPECT_EQ(barInnerWidth(), grayPixelsOfBar()) << "WM_PAINT draws the current percent again";
}

// Pixels of paintProgressBar drawn into a memory bitmap wider than the bar, so that painting
// past the bar's right edge would show.
std::vector<COLORREF> paintedRow(int percent, int width, int height) {
    const int bitmapWidth = width + 64;
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmapWidth;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, bitmapWidth, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT bar = {0, 0, width, height};
    paintProgressBar(dc, bar, percent);
    std::vector<COLORREF> row;
    for (int x = 0; x < bitmapWidth; ++x) row.push_back(GetPixel(dc, x, height / 2));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return row;
}

TEST(ProgressBarPainting, FillFrameAndPercentagesOutOfRange) {
    const int width = 102, height = 12;  // 100 pixels inside the frame: one pixel a percent
    std::vector<COLORREF> row = paintedRow(30, width, height);
    EXPECT_EQ(RGB(0, 0, 0), row[0]);
    EXPECT_EQ(RGB(0, 0, 0), row[width - 1]);
    for (int x = 1; x <= 30; ++x) EXPECT_EQ(RGB(128, 128, 128), row[x]) << x;
    EXPECT_EQ(RGB(255, 255, 255), row[31]);

    EXPECT_EQ(RGB(255, 255, 255), paintedRow(0, width, height)[1]) << "nothing filled at 0";
    // A library's percentage beyond the range must not paint outside the frame.
    EXPECT_EQ(paintedRow(100, width, height), paintedRow(250, width, height));
    EXPECT_EQ(paintedRow(0, width, height), paintedRow(-40, width, height));
    EXPECT_EQ(RGB(255, 255, 255), paintedRow(250, width, height)[width]);
}

// ---- A dialog that outlives its library call ----------------------------------------------

TEST_F(ProgressDialog, FinishEndsADialogTheLibraryLeftOpen) {
    progressDownload(PROGRESS_BEGIN, 0);
    HWND dialog = progressDialog();
    progressDownload(PROGRESS_PERCENT, 60);
    progressFinish();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, progressDialog());
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
}

struct TitleSearch {
    const char* title;
    int found;
};

BOOL CALLBACK countTitle(HWND window, LPARAM parameter) {
    auto search = reinterpret_cast<TitleSearch*>(parameter);
    if (windowText(window) == search->title) ++search->found;
    return TRUE;
}

int countWindowsTitled(const char* title) {
    TitleSearch search = {title, 0};
    EnumThreadWindows(GetCurrentThreadId(), countTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(ProgressDialog, ASecondBeginReplacesTheFirstDialog) {
    progressDecodeK4i(PROGRESS_BEGIN, 0);
    progressDecodeK4i(PROGRESS_BEGIN, 0);
    EXPECT_EQ(1, countWindowsTitled("Changing Image Data..."));
    progressDecodeK4i(PROGRESS_END, 0);
    EXPECT_EQ(0, countWindowsTitled("Changing Image Data..."));
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
}

TEST_F(ProgressDialog, WithoutTemplatesTheCallRunsOnAndTheOwnerComesBack) {
    setWindowsModule(GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(PROGRESS_GO_ON, progressDownload(PROGRESS_BEGIN, 0));
    EXPECT_EQ(nullptr, progressDialog());
    EXPECT_FALSE(IsWindowEnabled(windows.owner));
    EXPECT_EQ(PROGRESS_GO_ON, progressDownload(PROGRESS_PERCENT, 50));
    EXPECT_EQ(PROGRESS_GO_ON, progressDownload(PROGRESS_END, 0));
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
}

}  // namespace
