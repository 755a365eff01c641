#include "message_box_recorder.h"

namespace {

MessageBoxRecorder* g_recorder = nullptr;
std::vector<RecordedBox>* g_boxes = nullptr;
// Tests run side by side on one desktop: a box is activated again when another process's window
// took the activation for a moment, and the hook can be told of the activation of another
// process's dialog (a progress dialog, say). Each box is recorded once, and only this thread's.
HWND g_lastBox = nullptr;

constexpr int MESSAGE_TEXT_ID = 0xFFFF;
constexpr int ICON_ID_WINE = 1088;
constexpr int ICON_ID_WINDOWS = 20;

std::string windowText(HWND window)
{
    char buffer[1024] = {};
    if (window) GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

bool showsExclamationIcon(HWND box)
{
    const HICON exclamation = LoadIcon(nullptr, IDI_EXCLAMATION);
    for (int id : {ICON_ID_WINE, ICON_ID_WINDOWS}) {
        HWND icon = GetDlgItem(box, id);
        if (icon && reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)) == exclamation) return true;
    }
    return false;
}

bool isMessageBox(HWND window)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, MESSAGE_TEXT_ID) != nullptr;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder()
{
    g_boxes = &boxes_;
    g_recorder = this;
    hook_ = SetWindowsHookExA(WH_CBT, hookProc, nullptr, GetCurrentThreadId());
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    if (hook_) UnhookWindowsHookEx(hook_);
    g_recorder = nullptr;
    g_boxes = nullptr;
}

LRESULT CALLBACK MessageBoxRecorder::hookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_boxes) {
        HWND box = reinterpret_cast<HWND>(wParam);
        const bool ours = GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId();
        if (ours && box != g_lastBox && isMessageBox(box)) {
            g_lastBox = box;
            RecordedBox recorded;
            recorded.owner = GetWindow(box, GW_OWNER);
            recorded.caption = windowText(box);
            recorded.text = windowText(GetDlgItem(box, MESSAGE_TEXT_ID));
            recorded.exclamationIcon = showsExclamationIcon(box);
            recorded.okOnly = GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) && !GetDlgItem(box, IDYES) &&
                              !GetDlgItem(box, IDNO);
            g_boxes->push_back(recorded);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
