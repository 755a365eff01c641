// Windows the progress tests need: the owner that the dialog disables, and a helper window
// whose posted messages stand for the application's queue, run one at a time by the callbacks.
#pragma once

#include <windows.h>

#include <functional>

// Messages of the helper window: each runs the action given to postAction.
struct TestWindows {
    TestWindows();
    ~TestWindows();
    TestWindows(const TestWindows&) = delete;
    TestWindows& operator=(const TestWindows&) = delete;

    // Queues an action that runs when the helper's message is dispatched.
    void postAction(std::function<void()> action);
    int actionsRun() const;

    HWND owner;
    HWND helper;
};

// Dispatches everything queued for this thread.
void pumpAllMessages();
// Counts WM_SETTEXT reaching a control: every drawing of the bar writes the percent text once.
class SetTextCounter {
public:
    explicit SetTextCounter(HWND control);
    ~SetTextCounter();
    SetTextCounter(const SetTextCounter&) = delete;
    SetTextCounter& operator=(const SetTextCounter&) = delete;
    int count() const;
    void reset();

private:
    HWND control_;
    WNDPROC original_;
};
