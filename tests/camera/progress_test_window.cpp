#include "progress_test_window.h"

#include <deque>

namespace {

const UINT UM_TEST_ACTION = WM_APP + 1;
std::deque<std::function<void()>> g_actions;
int g_actionsRun = 0;

LRESULT CALLBACK helperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == UM_TEST_ACTION && !g_actions.empty()) {
        std::function<void()> action = g_actions.front();
        g_actions.pop_front();
        ++g_actionsRun;
        action();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* const HELPER_CLASS = "ProgressTestHelper";

WNDPROC g_originalSetText = nullptr;
int g_setTexts = 0;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++g_setTexts;
    return CallWindowProcA(g_originalSetText, window, message, wParam, lParam);
}

}  // namespace

TestWindows::TestWindows() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = helperProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = HELPER_CLASS;
    RegisterClassA(&windowClass);  // fails harmlessly when a previous test registered it
    g_actions.clear();
    g_actionsRun = 0;
    owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 384, 308, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    helper = CreateWindowExA(0, HELPER_CLASS, "helper", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    pumpAllMessages();
}

TestWindows::~TestWindows() {
    DestroyWindow(helper);
    DestroyWindow(owner);
    g_actions.clear();
    pumpAllMessages();
}

void TestWindows::postAction(std::function<void()> action) {
    g_actions.push_back(std::move(action));
    PostMessageA(helper, UM_TEST_ACTION, 0, 0);
}

int TestWindows::actionsRun() const {
    return g_actionsRun;
}

void pumpAllMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

SetTextCounter::SetTextCounter(HWND control) : control_(control) {
    g_setTexts = 0;
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countingProc)));
    g_originalSetText = original_;
}

SetTextCounter::~SetTextCounter() {
    if (IsWindow(control_)) SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
}

int SetTextCounter::count() const {
    return g_setTexts;
}

void SetTextCounter::reset() {
    g_setTexts = 0;
}
