#include "camera_clicks.h"

#include "control_text.h"
#include "resources/resource_ids.h"
#include "window_capture.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const DWORD SETTLE_MS = 200;  // lets the source's notifications reach the application's loop
const POINT CAMERA_TAB = {130, 27};

std::string textOf(HWND control)
{
    char text[64] = "";
    if (control) GetWindowTextA(control, text, sizeof text);
    return text;
}

class User {
public:
    explicit User(const CameraClicks& clicks) : c_(clicks) {}

    HWND control(int id) const { return GetDlgItem(c_.window, id); }

    void say(const std::string& text) const { c_.say(text.c_str()); }

    std::string page() const
    {
        if (HWND model = control(IDC_MODEL))
            return IsWindowEnabled(model) ? "option page (no camera connected)" : "option page (camera connected)";
        if (HWND ok = control(IDC_OK))
            return IsWindowEnabled(ok) ? "camera page (camera connected)" : "camera page (no camera connected)";
        return "no page";
    }

    std::string number() const { return textOf(control(IDC_NUMBER)); }
    std::string count() const { return textOf(control(IDC_TOTAL)); }

    void click(int id, const char* what)
    {
        HWND button = control(id);
        if (!button || !IsWindowEnabled(button)) {
            say(std::string("FAILED: the button ") + what + " is not there to be clicked.");
            ++failures;
            return;
        }
        SendMessageA(button, BM_CLICK, 0, 0);
        c_.pump(SETTLE_MS);
    }

    // Opens the box's list, picks the entry with this text and lets the list close up.
    void choose(int id, const char* entry)
    {
        HWND box = control(id);
        const LRESULT index = SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry));
        if (!box || index < 0 || !IsWindowEnabled(box)) {
            say(std::string("FAILED: \"") + entry + "\" cannot be chosen.");
            ++failures;
            return;
        }
        SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
        SendMessageA(box, CB_SETCURSEL, index, 0);
        SendMessageA(box, CB_SHOWDROPDOWN, FALSE, 0);
        SendMessageA(c_.window, WM_COMMAND, MAKEWPARAM(id, CBN_CLOSEUP), reinterpret_cast<LPARAM>(box));
        c_.pump(SETTLE_MS);
    }

    void expectPicture(const std::string& wantedNumber, const std::string& wantedCount)
    {
        if (number() == wantedNumber && count() == wantedCount) return;
        say("FAILED: expected picture " + wantedNumber + " of " + wantedCount + ", the page shows " + number() +
            " / " + count() + ".");
        ++failures;
    }

    void screenshot(const char* name) const
    {
        if (c_.screenshotFolder.empty()) return;
        const std::string path = c_.screenshotFolder + "\\" + name + ".bmp";
        if (saveWindowCapture(c_.window, path)) say("  (screenshot " + path + ")");
    }

    int failures = 0;

private:
    const CameraClicks& c_;
};

}  // namespace

bool pickAllCameraPictures(const CameraClicks& clicks)
{
    User user(clicks);
    user.say("The user sees the " + user.page() + ": camera \"" + chosenEntry(user.control(IDC_MODEL)) + "\", port \"" +
             chosenEntry(user.control(IDC_PORT)) + "\", speed \"" + chosenEntry(user.control(IDC_SPEED)) + "\".");
    user.choose(IDC_MODEL, clicks.model.c_str());
    user.choose(IDC_PORT, clicks.port.c_str());
    user.choose(IDC_SPEED, clicks.speed.c_str());
    user.say("The user chooses \"" + clicks.model + "\", \"" + clicks.port + "\" and \"" + clicks.speed + "\".");
    user.screenshot("option-page");

    user.click(IDC_CAMERA, "camera link");
    user.say("The user presses the camera-link button and sees the " + user.page() + ": picture " + user.number() +
             " of " + user.count() + ".");
    if (user.failures || user.page() != "camera page (camera connected)") {
        user.say("FAILED: the camera did not connect.");
        return false;
    }
    user.screenshot("camera-page");
    const int count = std::atoi(user.count().c_str());

    for (int step = 0; step < count; ++step) {
        user.click(IDC_NEXT, ">>");
        user.say("  >> : picture " + user.number() + " of " + user.count());
    }
    user.expectPicture("1", std::to_string(count));
    // SELECT marks the picture shown and moves on to the next one.
    for (int picture = 1; picture <= count; ++picture) {
        const std::string marked = user.number();
        user.click(IDC_SELECT, "SELECT");
        user.say("  SELECT: picture " + marked + " selected; the page moves on to picture " + user.number() + " of " +
                 user.count());
    }
    user.say("  selected: pictures 1 to " + std::to_string(count) + ", in this order");
    user.screenshot("camera-page-selected");
    user.say("The user presses OK.");
    user.click(IDC_OK, "OK");
    return user.failures == 0;
}
