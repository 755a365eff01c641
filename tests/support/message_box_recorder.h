// Records every message box that the test's thread shows, and dismisses it with OK, so tests
// can assert exact texts. Works with a WH_CBT hook: a message box is a "#32770" dialog whose
// static text has the id 0xFFFF.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

struct RecordedBox {
    HWND        owner;
    std::string caption;
    std::string text;
    bool        exclamationIcon;  // the box shows the system's exclamation icon
    bool        okOnly;           // the box has an OK button and no Cancel/Yes/No
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();   // starts recording on the calling thread
    ~MessageBoxRecorder();  // stops recording
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<RecordedBox>& boxes() const { return boxes_; }
    void clear() { boxes_.clear(); }

private:
    static LRESULT CALLBACK hookProc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_;
    std::vector<RecordedBox> boxes_;
};
