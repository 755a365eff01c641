// The progress dialog and its four callbacks. Everything runs on the application's thread
// inside the library call; the dialog lives only between the begin and the end code, and the
// callbacks keep the screen alive by letting one queued message run per call.
#include "camera_window/progress_dialog.h"

#include <cstdio>

#include "camera/camera_families.h"
#include "camera/camera_settings.h"
#include "camera/library_calls.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/window_class.h"
#include "resources/resource_ids.h"
#include "win32/maker/maker_common.h"
#include "win32/scoped_handle.h"

namespace {

// One progress dialog at a time.
struct ProgressState {
    HWND dialog;
    HWND bar;                 // the dialog's IDC_BAR and IDC_PERCENT, looked up once per dialog:
    HWND percentText;         // every lookup by id asks the window manager for the child list
    HWND owner;
    bool ownerDisabled;       // by our begin, so that whoever ends the dialog gives it back
    int32_t cancelFlag;       // 1 after Cancel; back to 0 at the next begin
    uint16_t currentPercent;  // what WM_PAINT draws; 0 after each end
    uint16_t drawCounter;     // 0, 1 or 2: the redraw limit's count of an unchanged percent
    uint16_t lastPercent;     // the percent the redraw limit last saw change
};

ProgressState g_progress = {};

const char* const DOWNLOAD_TEMPLATE = "PROCESSDLG";       // "Now Loading ..."
const char* const DECODE_TEMPLATE   = "PROCESSCHANGEDLG"; // "Changing Image Data..."

const COLORREF BAR_GRAY = RGB(128, 128, 128);

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Libraries are not to be trusted with the range: a percentage beyond 100 would paint past
// the frame, a negative one would paint leftwards.
int boundedPercent(int value) {
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

// Takes at most one message of any window from the thread's queue and dispatches it, the
// dialog's own through the dialog handling so that Esc and the Cancel button work. Never
// waits. True when the user has asked to stop.
bool letOneMessageRun() {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The application's own loop has to see the quit request, so it goes back.
            PostQuitMessage(static_cast<int>(message.wParam));
        } else if (!g_progress.dialog || !IsDialogMessageA(g_progress.dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return g_progress.cancelFlag == 1;
}

void drawBarControl(HWND bar, int percent) {
    RECT client;
    GetClientRect(bar, &client);
    WindowDC dc(bar);
    if (dc) paintProgressBar(dc.get(), client, percent);
}

// The family's download dialog has its labels written again at every drawing.
bool labelsRedrawn() {
    const CameraFamily* family = cameraFamily();
    return family && family->redrawsProgressLabels;
}

// Repeating an unchanged percentage costs a redraw each time for nothing; after a few the
// bar is surely on screen. A family whose dialog has its labels written again (LX-2) redraws
// every time (see drawBar).
bool passesRedrawLimit(uint16_t percent) {
    if (g_progress.drawCounter == 0) {
        g_progress.drawCounter = 1;
        return true;
    }
    if (percent != g_progress.lastPercent || labelsRedrawn()) {
        g_progress.drawCounter = 0;
        g_progress.lastPercent = percent;
        return true;
    }
    if (g_progress.drawCounter == 1) {
        g_progress.drawCounter = 2;
        return true;
    }
    return false;
}

// The dialog's labels, written again at every drawing for a family that asks for it.
struct Label {
    int id;
    const char* text;
};
const Label REDRAWN_LABELS[] = {
    {IDC_SCALE0, "0"},   {IDC_SCALE25, "25"},   {IDC_SCALE50, "50"},        {IDC_SCALE75, "75"},
    {IDC_SCALE100, "100"}, {IDC_PROCESSING, "Processing..."}, {IDCANCEL, "Cancel"},
};

void drawBar(int percent) {
    if (!passesRedrawLimit(static_cast<uint16_t>(percent))) return;
    HWND bar = g_progress.bar;
    if (!bar) return;
    drawBarControl(bar, percent);

    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percent);
    if (g_progress.percentText) SetWindowTextA(g_progress.percentText, text);

    if (!labelsRedrawn()) return;
    for (const Label& label : REDRAWN_LABELS) SetDlgItemTextA(g_progress.dialog, label.id, label.text);
    UpdateWindow(GetDlgItem(g_progress.dialog, IDCANCEL));
}

int endDialog() {
    g_progress.currentPercent = 0;
    // The owner comes back first, so that the system hands the activation to it and not to
    // some other application's window when the dialog goes.
    if (g_progress.ownerDisabled && g_progress.owner) EnableWindow(g_progress.owner, TRUE);
    g_progress.ownerDisabled = false;
    if (g_progress.dialog) DestroyWindow(g_progress.dialog);
    g_progress.dialog = nullptr;
    g_progress.bar = nullptr;
    g_progress.percentText = nullptr;
    return PROGRESS_GO_ON;
}

int beginDialog(const char* templateName) {
    // A library that begins twice without an end would otherwise leave the first dialog
    // behind with nobody to destroy it.
    if (g_progress.dialog) endDialog();
    g_progress.cancelFlag = 0;
    g_progress.dialog =
        CreateDialogParamA(windowsModule(), templateName, g_progress.owner, progressDialogProc, 0);
    g_progress.bar = g_progress.dialog ? GetDlgItem(g_progress.dialog, IDC_BAR) : nullptr;
    g_progress.percentText = g_progress.dialog ? GetDlgItem(g_progress.dialog, IDC_PERCENT) : nullptr;
    if (g_progress.owner) {
        EnableWindow(g_progress.owner, FALSE);
        g_progress.ownerDisabled = true;
    }
    if (g_progress.dialog) SetFocus(g_progress.dialog);
    if (letOneMessageRun()) return PROGRESS_HALT;
    drawBar(0);
    return PROGRESS_GO_ON;
}

// What every callback does with the begin and the end code; what a percentage does is the
// callback's own.
int progressCallback(const char* templateName, int code, int value, int (*onPercent)(int value)) {
    switch (code) {
    case PROGRESS_BEGIN:
        return beginDialog(templateName);
    case PROGRESS_END:
        return endDialog();
    case PROGRESS_PERCENT:
        return onPercent(value);
    default:
        return PROGRESS_GO_ON;
    }
}

// Keeps the percentage for WM_PAINT, within the bar's range, and returns it.
int keepPercent(int value) {
    value = boundedPercent(value);
    g_progress.currentPercent = static_cast<uint16_t>(value);
    return value;
}

// The decode callbacks draw before they let a message run: decoding is the slow part, and
// the user should see the new percentage while the message is handled.
int decodePercent(int value) {
    drawBar(keepPercent(value));
    return letOneMessageRun() ? PROGRESS_HALT : PROGRESS_GO_ON;
}

// LX-1 and LX-2 downloads let the message run first; after a Cancel the bar is not drawn again.
int downloadPercent(int value) {
    const int percent = keepPercent(value);
    if (letOneMessageRun()) return PROGRESS_HALT;
    drawBar(percent);
    return PROGRESS_GO_ON;
}

// At the fastest line the percentages come quicker than drawing them is worth.
int downloadPercentLx3(int value) {
    if (g_settings.speedIndex != SPEED_INDEX_115200 || value % 10 == 0) drawBar(keepPercent(value));
    return letOneMessageRun() ? PROGRESS_HALT : PROGRESS_GO_ON;
}

void onPaint(HWND dialog) {
    PaintDC painting(dialog);  // the bar is a window of its own, drawn through its own DC
    HWND bar = dialog == g_progress.dialog ? g_progress.bar : GetDlgItem(dialog, IDC_BAR);
    if (bar) drawBarControl(bar, g_progress.currentPercent);
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_PAINT:
        onPaint(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        g_progress.cancelFlag = 1;
        return TRUE;
    default:
        return FALSE;
    }
}

// The camera's library calls, as this dialog shows them.
HWND cameraWindowOwns() {
    return g_cameraWindow.window;
}

int showReport(ProgressTask task, int code, int value) {
    switch (task) {
    case ProgressTask::Download:    return progressDownload(code, value);
    case ProgressTask::DownloadLx3: return progressDownloadLx3(code, value, 0);
    default:                        return progressDecodeExif(code, value, 0);
    }
}

void callEnded(HWND owner, bool focusOwner) {
    progressFinish();
    if (focusOwner && owner) SetFocus(owner);
}

}  // namespace

void showCameraProgressInDialogs() {
    cameraReportProgressTo(ProgressListener{cameraWindowOwns, progressSetOwner, showReport, callEnded});
}

void paintProgressBar(HDC dc, const RECT& client, int percent) {
    percent = boundedPercent(percent);
    const int fillRight = client.left + ((client.right - client.left - 2) * percent) / 100 + 1;
    // The fill only ever grows during one dialog, so it is drawn over the old one, not cleared.
    if (fillRight > client.left + 1) {
        ScopedGdiObject grayPen(CreatePen(PS_SOLID, 0, BAR_GRAY));
        ScopedGdiObject grayBrush(CreateSolidBrush(BAR_GRAY));
        SelectedObject pen(dc, grayPen.get());
        SelectedObject brush(dc, grayBrush.get());
        Rectangle(dc, client.left + 1, client.top + 1, fillRight, client.bottom - 1);
    }
    ScopedGdiObject framePen(CreatePen(PS_INSIDEFRAME, 0, RGB(0, 0, 0)));
    SelectedObject pen(dc, framePen.get());
    SelectedObject brush(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
}

int WINAPI progressDownload(int code, int value) {
    return progressCallback(DOWNLOAD_TEMPLATE, code, value, downloadPercent);
}

int WINAPI progressDownloadLx3(int code, int value, DWORD) {
    return progressCallback(DOWNLOAD_TEMPLATE, code, value, downloadPercentLx3);
}

int WINAPI progressDecodeExif(int code, int value, DWORD) {
    return progressCallback(DECODE_TEMPLATE, code, value, decodePercent);
}

int WINAPI progressDecodeK4i(int code, int value) {
    return progressCallback(DECODE_TEMPLATE, code, value, decodePercent);
}

void progressSetOwner(HWND owner) {
    g_progress.owner = owner;
}

void progressFinish() {
    if (g_progress.dialog || g_progress.ownerDisabled) endDialog();
}

HWND progressDialog() {
    return g_progress.dialog;
}
