#include "random_user.h"

#include "process_resources.h"
#include "resources/resource_ids.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <vector>

namespace {

const UINT UM_INTERFERE = WM_APP + 61;  // a user's click that the application's queue holds
const char* const PROGRESS_TITLES[] = {"Now Loading ...", "Changing Image Data..."};
const char* const FAULT_OPERATIONS[] = {"open", "getstatus", "getcurrent", "getcount", "nextpicture",
                                        "prevpicture", "gotopicture", "setmedium", "getpicture", "close"};

class Rng {
public:
    explicit Rng(uint32_t seed) : engine_(seed) {}
    uint32_t below(uint32_t n) { return n ? engine_() % n : 0; }
    bool chance(uint32_t percent) { return below(100) < percent; }

private:
    std::mt19937 engine_;
};

// ---- The watchdog: an event that does not return within the bound ends the process. ----

struct Watchdog {
    volatile LONG lock = 0;  // a spin lock: no handle of its own, unlike a contended critical section
    long event = -1;
    DWORD started = 0;
    bool armed = false;
    DWORD bound = 30000;
    uint32_t seed = 0;
    std::string description;
    std::deque<std::string> recent;  // the events before it, to tell what led there
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
};

Watchdog g_watchdog;

void lockWatchdog()
{
    while (InterlockedExchange(&g_watchdog.lock, 1) != 0) Sleep(0);
}

DWORD WINAPI watchdogThread(LPVOID)
{
    while (!g_watchdog.stop) {
        Sleep(250);
        lockWatchdog();
        const bool late = g_watchdog.armed && GetTickCount() - g_watchdog.started > g_watchdog.bound;
        if (late) {
            std::printf("FAILED: event %ld (seed %u) did not return within %lu ms: %s\n", g_watchdog.event,
                        g_watchdog.seed, static_cast<unsigned long>(g_watchdog.bound), g_watchdog.description.c_str());
            std::printf("  the events before it:\n");
            for (const std::string& line : g_watchdog.recent) std::printf("    %s\n", line.c_str());
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 6);
        }
        InterlockedExchange(&g_watchdog.lock, 0);
    }
    return 0;
}

// ---- Message boxes: every one is answered with OK, and counted by its first line. ----

std::map<std::string, int> g_boxes;
HWND g_lastBox = nullptr;
HHOOK g_boxHook = nullptr;

std::string textOf(HWND window)
{
    char text[512] = "";
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string classOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

LRESULT CALLBACK boxHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        const std::string title = textOf(box);
        const bool progress = title == PROGRESS_TITLES[0] || title == PROGRESS_TITLES[1];
        if (box != g_lastBox && !progress && classOf(box) == "#32770" && GetDlgItem(box, 0xFFFF)) {
            g_lastBox = box;
            const std::string text = textOf(GetDlgItem(box, 0xFFFF));
            std::string shown = title + ": " + text;
            for (char& c : shown)
                if (c == '\n') c = ' ';
            ++g_boxes[shown];
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- Windows as the user sees them. ----

struct Found {
    const char* className;
    const char* title;
    HWND window;
};

BOOL CALLBACK findShown(HWND window, LPARAM param)
{
    auto* found = reinterpret_cast<Found*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if (found->className && classOf(window) != found->className) return TRUE;
    if (found->title && textOf(window) != found->title) return TRUE;
    found->window = window;
    return FALSE;
}

HWND shownWindow(const char* className, const char* title = nullptr)
{
    Found found = {className, title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findShown, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

HWND cameraWindow() { return shownWindow("TWMAINWINDOW"); }
HWND browserWindow() { return shownWindow("FILEMAINWINDOW"); }

HWND progressDialog()
{
    for (const char* title : PROGRESS_TITLES)
        if (HWND dialog = shownWindow("#32770", title)) return dialog;
    return nullptr;
}

// A control a user could click: shown, enabled, in an enabled window.
bool reachable(HWND control)
{
    if (!control || !IsWindowVisible(control) || !IsWindowEnabled(control)) return false;
    HWND root = GetAncestor(control, GA_ROOT);
    return root && IsWindowEnabled(root);
}

std::vector<std::string> pathPieces(const std::string& path)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) pieces.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool within(const std::string& path, const std::string& root)
{
    return path.size() >= root.size() && _strnicmp(path.c_str(), root.c_str(), root.size()) == 0 &&
           (path.size() == root.size() || path[root.size()] == '\\');
}

std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

class RandomUser;
RandomUser* g_user = nullptr;
WNDPROC g_applicationProc = nullptr;
LRESULT CALLBACK applicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class RandomUser {
public:
    RandomUser(RandomUserApp& app, const RandomUserOptions& options)
        : app_(app), options_(options), rng_(options.seed), root_(windowsPath(options.pictureFolder))
    {
    }

    int run();
    void interfere();

private:
    void say(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char text[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        app_.say(text);
    }
    void fail(const std::string& what)
    {
        ++failures_;
        say("FAILED: event %d (seed %u): %s", event_, options_.seed, what.c_str());
    }

    void begin(const std::string& description);
    void end();
    void pump(DWORD ms);
    void oneEvent();
    void closeAll();
    ProcessResources checkpoint();

    // The application's calls.
    void appOpen();
    void appClose();
    void appEnable();
    void appDisable();
    void appNative();
    void appMemory();
    void appPending(TW_UINT16 message);
    void appStatus();
    void appMechanism();
    void appImageInfo();
    void appTransferAll();
    void cameraConnect();
    // The user's.
    void cameraClick();
    void cameraChoose();
    void cameraType();
    void cameraTab();
    void keyPress();
    void closeBox(HWND window);
    void browserClick(bool twice);
    void browserScroll();
    void browserFileType();
    void browserEnter();
    void browserButton(int id);
    void cameraFault();
    void clickAnywhere();
    // Clicks queued before a call that may download or decode, so they arrive inside it.
    void queueInterference();

    RandomUserApp& app_;
    const RandomUserOptions& options_;
    Rng rng_;
    std::string root_;
    bool open_ = false;
    bool enabled_ = false;
    bool memory_ = false;          // the mechanism the application last chose in this session
    bool xferReady_ = false;       // MSG_XFERREADY came through the loop
    bool closeRequested_ = false;  // MSG_CLOSEDSREQ came through the loop
    bool acted_ = false;           // the last try made an event
    int event_ = 0;
    int failures_ = 0;
    int received_ = 0;
    int nested_ = 0;
    int tries_ = 0;
    DWORD longest_ = 0;
    std::string longestEvent_;
    std::map<std::string, int> kinds_;
    std::string current_;
    std::string warmupTypes_;
    std::string warmupHandles_;
    bool traceGdi_ = GetEnvironmentVariableA("RANDOM_USER_TRACE_DCS", nullptr, 0) > 0;
    long lastDcs_ = -1;
    bool traceHandles_ = GetEnvironmentVariableA("RANDOM_USER_TRACE_HANDLES", nullptr, 0) > 0;
    std::string lastHandles_;
};

void RandomUser::begin(const std::string& description)
{
    acted_ = true;
    current_ = description;
    ++kinds_[description.substr(0, description.find(':'))];
    lockWatchdog();
    g_watchdog.event = event_;
    g_watchdog.description = description;
    g_watchdog.started = GetTickCount();
    g_watchdog.armed = true;
    InterlockedExchange(&g_watchdog.lock, 0);
    if (options_.verbose) say("event %d: %s", event_, description.c_str());
}

void RandomUser::end()
{
    // Back in the application's loop: what the event left queued (notifications, paints) runs.
    pump(0);
    lockWatchdog();
    const DWORD took = GetTickCount() - g_watchdog.started;
    g_watchdog.armed = false;
    g_watchdog.recent.push_back("event " + std::to_string(event_) + ": " + current_);
    if (g_watchdog.recent.size() > 25) g_watchdog.recent.pop_front();
    InterlockedExchange(&g_watchdog.lock, 0);
    if (traceHandles_) {
        const std::string types = handleTypesInUse();
        if (types != lastHandles_) say("handles %s after event %d: %s", types.c_str(), event_, current_.c_str());
        lastHandles_ = types;
    }
    if (traceGdi_) {
        const long dcs = gdiEntriesOfType(1);
        if (dcs != lastDcs_) say("GDI DCs %ld after event %d: %s", dcs, event_, current_.c_str());
        lastDcs_ = dcs;
    }
    if (took > longest_) {
        longest_ = took;
        longestEvent_ = current_;
    }
}

// The application's loop: every message to the source first; notifications remembered.
void RandomUser::pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            if (open_) {
                TW_UINT16 notification = MSG_NULL;
                if (app_.processEvent(&message, &notification) == TWRC_DSEVENT) {
                    if (notification == MSG_XFERREADY) xferReady_ = true;
                    if (notification == MSG_CLOSEDSREQ) closeRequested_ = true;
                    continue;
                }
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

void RandomUser::queueInterference()
{
    const uint32_t clicks = rng_.below(4);
    for (uint32_t i = 0; i < clicks; ++i) PostMessageA(app_.window, UM_INTERFERE, 0, 0);
}

// A click that the user made while something ran: on the progress dialog's Cancel, its
// Escape key, or anywhere else (where a disabled window takes nothing).
void RandomUser::interfere()
{
    ++nested_;
    HWND dialog = progressDialog();
    const uint32_t choice = rng_.below(10);
    if (dialog && choice < 5) {
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (reachable(cancel)) SendMessageA(cancel, BM_CLICK, 0, 0);
    } else if (dialog && choice < 7) {
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        clickAnywhere();
    }
}

void RandomUser::clickAnywhere()
{
    std::vector<HWND> controls;
    for (HWND window : {cameraWindow(), browserWindow(), progressDialog()}) {
        if (!window) continue;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (classOf(child) == "Button") controls.push_back(child);
    }
    if (controls.empty()) return;
    HWND control = controls[rng_.below(controls.size())];
    // Only a control a user could reach takes the click; a disabled window swallows it.
    if (!reachable(control)) return;
    // The camera window's and the browser's CANCEL end the windows: no nested close here.
    if (GetDlgCtrlID(control) == IDCANCEL && GetAncestor(control, GA_ROOT) != progressDialog()) return;
    SendMessageA(control, BM_CLICK, 0, 0);
}

void RandomUser::appOpen()
{
    begin("application: MSG_OPENDS");
    const TW_UINT16 rc = app_.openSource();
    if (rc == TWRC_SUCCESS) {
        open_ = true;
        enabled_ = false;
        memory_ = false;
        xferReady_ = closeRequested_ = false;
    }
    end();
}

void RandomUser::appClose()
{
    begin(std::string("application: MSG_CLOSEDS") + (enabled_ ? " while enabled" : ""));
    if (app_.closeSource() == TWRC_SUCCESS) {
        open_ = false;
        enabled_ = false;
        xferReady_ = closeRequested_ = false;
    }
    end();
}

void RandomUser::appEnable()
{
    begin("application: MSG_ENABLEDS");
    const TW_UINT16 rc = app_.userInterface(MSG_ENABLEDS);
    if (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) enabled_ = true;
    end();
}

void RandomUser::appDisable()
{
    begin("application: MSG_DISABLEDS");
    if (app_.userInterface(MSG_DISABLEDS) == TWRC_SUCCESS) enabled_ = false;
    end();
}

// Checks a DIB handed over by a native transfer within its block.
bool wholeDib(HGLOBAL dib)
{
    const SIZE_T size = GlobalSize(dib);
    const auto* block = static_cast<const BYTE*>(GlobalLock(dib));
    if (!block) return false;
    bool whole = false;
    if (size >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER header;
        std::memcpy(&header, block, sizeof header);
        const uint64_t stride = (uint64_t(header.biWidth) * 3 + 3) / 4 * 4;
        whole = header.biWidth > 0 && header.biHeight > 0 && header.biBitCount == 24 &&
                sizeof header + stride * uint64_t(header.biHeight) <= size;
    }
    GlobalUnlock(dib);
    return whole;
}

void RandomUser::appNative()
{
    begin("application: DAT_IMAGENATIVEXFER");
    queueInterference();
    TW_HANDLE handle = nullptr;
    const TW_UINT16 rc = app_.callSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (rc == TWRC_XFERDONE) {
        if (!handle || !wholeDib(handle)) fail("a native transfer handed over no whole picture");
        else ++received_;
    } else if (handle) {
        fail("a native transfer that answered " + std::to_string(rc) + " left a handle");
    }
    if (handle) GlobalFree(handle);
    end();
}

void RandomUser::appMemory()
{
    begin("application: DAT_IMAGEMEMXFER");
    queueInterference();
    TW_IMAGEINFO info = {};
    const bool known = app_.callSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS &&
                       info.ImageWidth > 0 && info.ImageLength > 0;
    const size_t bytesPerRow = known ? size_t(info.ImageWidth) * 3 : 3 * 768;
    const size_t rows = 1 + rng_.below(20);
    const bool handleBuffer = rng_.chance(30);
    std::vector<BYTE> pointerBuffer(handleBuffer ? 0 : bytesPerRow * rows);
    HGLOBAL handle = handleBuffer ? GlobalAlloc(GHND, bytesPerRow * rows) : nullptr;
    size_t delivered = 0;
    for (int strip = 0; strip < 100000; ++strip) {
        TW_IMAGEMEMXFER block = {};
        block.Memory.Flags = TWMF_APPOWNS | (handleBuffer ? TWMF_HANDLE : TWMF_POINTER);
        block.Memory.Length = static_cast<TW_UINT32>(bytesPerRow * rows);
        block.Memory.TheMem = handleBuffer ? static_cast<TW_MEMREF>(handle) : pointerBuffer.data();
        const TW_UINT16 rc = app_.callSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &block);
        if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
            const size_t rowBytes = known ? bytesPerRow : block.BytesPerRow;
            if (block.BytesWritten > bytesPerRow * rows || block.YOffset * rowBytes != delivered) {
                fail("a strip out of its place or beyond the buffer");
                break;
            }
            delivered += block.BytesWritten;
        }
        if (rc == TWRC_SUCCESS) continue;
        if (rc == TWRC_XFERDONE) {
            // Without the size (the information was asked already), the strips must at least
            // have ended at a whole row.
            const size_t whole = known ? bytesPerRow * size_t(info.ImageLength)
                                       : size_t(block.YOffset + block.Rows) * block.BytesPerRow;
            if (delivered != whole)
                fail("a memory transfer ended with " + std::to_string(delivered) + " bytes of a picture of " +
                     std::to_string(whole));
            else ++received_;
        } else if (delivered > 0) {
            fail("a memory transfer stopped half way with " + std::to_string(rc));
        }
        break;
    }
    if (handle) GlobalFree(handle);
    end();
}

void RandomUser::appPending(TW_UINT16 message)
{
    begin(message == MSG_ENDXFER ? "application: MSG_ENDXFER"
          : message == MSG_RESET ? "application: MSG_RESET"
                                 : "application: DAT_PENDINGXFERS MSG_GET");
    TW_PENDINGXFERS pending = {};
    app_.callSource(DG_CONTROL, DAT_PENDINGXFERS, message, &pending);
    end();
}

void RandomUser::appStatus()
{
    begin("application: DAT_STATUS");
    TW_STATUS status = {};
    app_.callSource(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    end();
}

void RandomUser::appMechanism()
{
    const bool memory = rng_.chance(50);
    begin(std::string("application: ICAP_XFERMECH ") + (memory ? "memory" : "native"));
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
    if (auto* value = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer))) {
        value->ItemType = TWTY_UINT16;
        value->Item = memory ? TWSX_MEMORY : TWSX_NATIVE;
        GlobalUnlock(cap.hContainer);
        if (app_.callSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap) == TWRC_SUCCESS) memory_ = memory;
    }
    GlobalFree(cap.hContainer);
    end();
}

// The source tells DAT_IMAGEINFO once per picture (a second request fails with a box); the
// application asks it before each memory transfer, so here only the layout and buffer sizes.
void RandomUser::appImageInfo()
{
    begin("application: DAT_IMAGELAYOUT and DAT_SETUPMEMXFER");
    TW_SETUPMEMXFER setup = {};
    app_.callSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    TW_IMAGELAYOUT layout = {};
    app_.callSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout);
    end();
}

void RandomUser::cameraClick()
{
    static const struct {
        int id;
        const char* name;
    } buttons[] = {{IDC_CAMERA, "camera link"}, {IDC_DISK, "file browser"}, {IDCANCEL, "CANCEL"},
                   {IDC_SELECT, "SELECT"},      {IDC_SELECTALL, "SELECT ALL"}, {IDC_CANCELALL, "CANCEL ALL"},
                   {IDC_PREV, "<<"},            {IDC_NEXT, ">>"},              {IDC_OK, "OK"},
                   {IDC_CARD, "card"},          {IDC_MEMORY, "internal memory"}};
    const auto& button = buttons[rng_.below(sizeof buttons / sizeof buttons[0])];
    HWND control = GetDlgItem(cameraWindow(), button.id);
    if (!reachable(control)) return;
    if (button.id == IDC_DISK) {
        // The browser opens on the application's current directory: the picture tree.
        char current[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof current, current);
        if (!within(current, root_)) SetCurrentDirectoryA(root_.c_str());
    }
    begin(std::string("user: camera window ") + button.name);
    if (button.id == IDC_OK || button.id == IDC_CAMERA || button.id == IDC_NEXT || button.id == IDC_SELECT)
        queueInterference();
    SendMessageA(control, BM_CLICK, 0, 0);
    end();
}

void RandomUser::cameraChoose()
{
    static const int boxes[] = {IDC_MODEL, IDC_PORT, IDC_SPEED};
    const int id = boxes[rng_.below(3)];
    HWND window = cameraWindow();
    HWND box = GetDlgItem(window, id);
    if (!reachable(box)) return;
    const LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
    if (count <= 0) return;
    const int index = static_cast<int>(rng_.below(static_cast<uint32_t>(count)));
    begin("user: option page box " + std::to_string(id) + " entry " + std::to_string(index));
    SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageA(box, CB_SETCURSEL, index, 0);
    SendMessageA(box, CB_SHOWDROPDOWN, FALSE, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, CBN_CLOSEUP), reinterpret_cast<LPARAM>(box));
    end();
}

void RandomUser::cameraType()
{
    static const char* const texts[] = {"1", "2", "3", "0", "9", "12", "abc", ""};
    HWND box = GetDlgItem(cameraWindow(), IDC_NUMBER);
    if (!reachable(box)) return;
    const char* text = texts[rng_.below(sizeof texts / sizeof texts[0])];
    begin(std::string("user: types \"") + text + "\" into the picture number");
    queueInterference();
    SetWindowTextA(box, text);
    end();
}

void RandomUser::cameraTab()
{
    HWND window = cameraWindow();
    if (!window || !IsWindowEnabled(window)) return;
    const bool option = rng_.chance(50);
    begin(std::string("user: ") + (option ? "OPTION" : "CAMERA") + " tab");
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, option ? MAKELPARAM(200, 27) : MAKELPARAM(130, 27));
    SendMessageA(window, WM_LBUTTONUP, 0, option ? MAKELPARAM(200, 27) : MAKELPARAM(130, 27));
    end();
}

void RandomUser::keyPress()
{
    static const WPARAM keys[] = {VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_UP, VK_DOWN, VK_NEXT, VK_HOME};
    HWND focus = GetFocus();
    HWND root = focus ? GetAncestor(focus, GA_ROOT) : nullptr;
    if (!root || (root != cameraWindow() && root != browserWindow()) || !IsWindowEnabled(root)) return;
    const WPARAM key = keys[rng_.below(sizeof keys / sizeof keys[0])];
    begin("user: key " + std::to_string(key) + " in " + classOf(focus));
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
    pump(10);
    end();
}

void RandomUser::closeBox(HWND window)
{
    if (!window || !IsWindowEnabled(window)) return;
    begin("user: close box of " + classOf(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    end();
}

void RandomUser::browserClick(bool twice)
{
    HWND browser = browserWindow();
    if (!browser || !IsWindowEnabled(browser)) return;
    const int x = 10 + static_cast<int>(rng_.below(400)), y = 10 + static_cast<int>(rng_.below(400));
    const WPARAM keys = rng_.chance(25) ? MK_SHIFT : rng_.chance(30) ? MK_CONTROL : 0;
    begin(std::string("user: ") + (twice ? "double click" : "click") + " on the grid at " + std::to_string(x) + "," +
          std::to_string(y) + (keys == MK_SHIFT ? " with Shift" : keys == MK_CONTROL ? " with Ctrl" : ""));
    if (twice) queueInterference();
    SendMessageA(browser, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
    SendMessageA(browser, WM_LBUTTONUP, keys, MAKELPARAM(x, y));
    if (twice) {
        SendMessageA(browser, WM_LBUTTONDBLCLK, MK_LBUTTON | keys, MAKELPARAM(x, y));
        SendMessageA(browser, WM_LBUTTONUP, keys, MAKELPARAM(x, y));
    }
    end();
}

void RandomUser::browserScroll()
{
    static const int codes[] = {SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBTRACK, SB_ENDSCROLL};
    HWND browser = browserWindow();
    if (!browser || !IsWindowEnabled(browser)) return;
    const int code = codes[rng_.below(6)];
    const int thumb = static_cast<int>(rng_.below(12));
    begin("user: scroll " + std::to_string(code) + " " + std::to_string(thumb));
    SendMessageA(browser, WM_VSCROLL, MAKEWPARAM(code, thumb),
                 reinterpret_cast<LPARAM>(GetDlgItem(browser, IDC_FILESCROLL)));
    end();
}

void RandomUser::browserFileType()
{
    HWND browser = browserWindow();
    HWND box = GetDlgItem(browser, IDC_FILETYPE);
    if (!reachable(box)) return;
    const int index = static_cast<int>(rng_.below(2));
    begin("user: file type " + std::to_string(index));
    SendMessageA(box, CB_SETCURSEL, index, 0);
    SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_FILETYPE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    end();
}

// A double click on a directory list entry, never one that leads out of the picture tree.
void RandomUser::browserEnter()
{
    HWND browser = browserWindow();
    HWND list = GetDlgItem(browser, IDC_DIRECTORY);
    if (!reachable(list)) return;
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    const std::vector<std::string> pieces = pathPieces(current);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (count <= 0) return;
    const int index = static_cast<int>(rng_.below(static_cast<uint32_t>(count)));
    if (index < static_cast<int>(pieces.size())) {
        std::string path = pieces[0];
        for (int i = 1; i <= index; ++i) path += "\\" + pieces[i];
        if (!within(path, root_)) return;
    } else if (!within(current, root_)) {
        return;
    }
    const bool twice = rng_.chance(70);
    begin(std::string("user: ") + (twice ? "double click" : "click") + " on directory entry " + std::to_string(index));
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_DIRECTORY, twice ? LBN_DBLCLK : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    end();
}

void RandomUser::browserButton(int id)
{
    HWND button = GetDlgItem(browserWindow(), id);
    if (!reachable(button)) return;
    begin(std::string("user: file browser ") + (id == IDOK ? "OK" : "CANCEL"));
    if (id == IDOK) queueInterference();
    SendMessageA(button, BM_CLICK, 0, 0);
    end();
}

// A camera starts or stops failing at one of its calls.
void RandomUser::cameraFault()
{
    const int port = 1 + static_cast<int>(rng_.below(3));
    const std::string ini =
        "\\\\?\\" + windowsPath(options_.cameraRoot) + "\\COM" + std::to_string(port) + "\\camera.ini";
    static std::map<int, std::string> base;
    if (!base.count(port)) {
        HANDLE file = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        char bytes[4096];
        DWORD read = 0;
        ReadFile(file, bytes, sizeof bytes - 1, &read, nullptr);
        CloseHandle(file);
        std::string text(bytes, read);
        base[port] = text.substr(0, text.find("[faults]"));
    }
    std::string faults;
    if (rng_.chance(60)) {
        faults = std::string("[faults]\r\n") +
                 FAULT_OPERATIONS[rng_.below(sizeof FAULT_OPERATIONS / sizeof FAULT_OPERATIONS[0])] + "=ff42\r\n";
        if (rng_.chance(30)) faults += "failat.2=50,ff43\r\n";
    }
    begin("camera on COM" + std::to_string(port) + ": " +
          (faults.empty() ? "no faults" : faults.substr(10, faults.find('=') - 10) + " fails"));
    HANDLE file = CreateFileA(ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string text = base[port] + faults;
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    end();
}

// What an application does after MSG_XFERREADY: every announced picture by its mechanism,
// MSG_ENDXFER after each, until none is pending or a transfer ends without a picture.
void RandomUser::appTransferAll()
{
    xferReady_ = false;
    for (int picture = 0; picture < 50; ++picture) {
        const int before = received_;
        if (memory_) appMemory();
        else appNative();
        TW_PENDINGXFERS pending = {};
        begin("application: MSG_ENDXFER after a transfer");
        const TW_UINT16 rc = app_.callSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        end();
        if (rc != TWRC_SUCCESS || pending.Count == 0 || received_ == before) break;
    }
}

// The user chooses a camera on the option page, mostly one that is there, and connects.
void RandomUser::cameraConnect()
{
    static const struct {
        const char *model, *port, *speed;
    } cameras[] = {{"LX-3 / MLX-300", "COM1", "115200bps"}, {"LX-1 / MLX-1", "COM2", "19200bps"},
                   {"LX-2 / MLX-2", "COM3", "57600bps"},     {"LX-3 / MLX-300", "COM4", "9600bps"},
                   {"LX-2 / MLX-2", "COM1", "38400bps"}};
    HWND window = cameraWindow();
    HWND link = GetDlgItem(window, IDC_CAMERA);
    if (!reachable(GetDlgItem(window, IDC_MODEL)) || !reachable(link)) return;
    const auto& camera = cameras[rng_.chance(85) ? rng_.below(3) : 3 + rng_.below(2)];
    begin(std::string("user: connects ") + camera.model + " on " + camera.port + " at " + camera.speed);
    for (const auto& choice : {std::make_pair(IDC_MODEL, camera.model), std::make_pair(IDC_PORT, camera.port),
                               std::make_pair(IDC_SPEED, camera.speed)}) {
        HWND box = GetDlgItem(window, choice.first);
        const LRESULT index =
            SendMessageA(box, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(choice.second));
        if (index < 0) continue;
        SendMessageA(box, CB_SETCURSEL, index, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(choice.first, CBN_CLOSEUP), reinterpret_cast<LPARAM>(box));
    }
    queueInterference();
    SendMessageA(link, BM_CLICK, 0, 0);
    end();
}

void RandomUser::oneEvent()
{
    // Mostly an application as applications are, with a call in the wrong state now and then.
    if (xferReady_ && rng_.chance(80)) return appTransferAll();
    if (closeRequested_ && rng_.chance(70)) {
        closeRequested_ = false;
        appDisable();
        return appClose();
    }
    if (!open_ && rng_.chance(70)) return appOpen();
    if (open_ && !enabled_ && rng_.chance(60)) return appEnable();
    HWND camera = cameraWindow();
    HWND browser = browserWindow();
    const uint32_t roll = rng_.below(100);
    if (!camera && !browser && rng_.chance(60)) {
        begin("application: waits in its message loop");
        pump(50);
        end();
        return;
    }
    if (roll < 8 || (!camera && !browser)) {
        const uint32_t which = rng_.below(21);
        if (which < 2) return appOpen();
        if (which < 4) return appEnable();
        if (which < 6) return appDisable();
        if (which < 7) return appClose();
        if (which < 9) return appNative();
        if (which < 11) return appMemory();
        if (which < 13) return appPending(MSG_ENDXFER);
        if (which < 14) return appPending(rng_.chance(50) ? MSG_RESET : MSG_GET);
        if (which < 16) return appStatus();
        if (which < 18) return appMechanism();
        return appImageInfo();
    }
    if (roll < 10) return cameraFault();
    if (roll < 14) {
        begin("application: its message loop");
        pump(rng_.below(3) * 20);
        end();
        return;
    }
    if (browser) {
        const uint32_t which = rng_.below(20);
        if (which < 8) return browserClick(false);
        if (which < 9) return browserClick(true);
        if (which < 11) return browserScroll();
        if (which < 12) return browserFileType();
        if (which < 15) return browserEnter();
        if (which < 17) return browserButton(IDOK);
        if (which < 18) return browserButton(IDCANCEL);
        if (which < 19) return closeBox(browser);
        return keyPress();
    }
    const uint32_t which = rng_.below(40);
    if (which < 6) return cameraConnect();
    if (which < 26) return cameraClick();
    if (which < 29) return cameraChoose();
    if (which < 31) return cameraType();
    if (which < 36) return cameraTab();
    if (which < 37) return closeBox(camera);
    return keyPress();
}

// Back to nothing open: the application disables and closes the source.
void RandomUser::closeAll()
{
    if (enabled_) appDisable();
    if (open_) appClose();
    pump(100);
}

ProcessResources RandomUser::checkpoint()
{
    closeAll();
    return measureProcess();
}

int RandomUser::run()
{
    g_watchdog.bound = options_.boundMs;
    g_watchdog.seed = options_.seed;
    g_watchdog.stop = 0;
    g_watchdog.thread = CreateThread(nullptr, 0, watchdogThread, nullptr, 0, nullptr);
    g_boxHook = SetWindowsHookExA(WH_CBT, boxHook, nullptr, GetCurrentThreadId());
    g_user = this;
    g_applicationProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(app_.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(applicationProc)));
    SetCurrentDirectoryA(root_.c_str());

    const int warmup = std::max(1, options_.events / 5);
    ProcessResources atWarmup, atEnd;
    const DWORD started = GetTickCount();
    // Only tries that did something count as events.
    for (event_ = 1, tries_ = 0; event_ <= options_.events && tries_ < 50 * options_.events; ++tries_) {
        acted_ = false;
        oneEvent();
        if (!acted_) continue;
        if (event_ == warmup) {
            atWarmup = checkpoint();
            warmupTypes_ = gdiTypesInUse();
            warmupHandles_ = handleTypesInUse();
        }
        ++event_;
    }
    --event_;
    atEnd = checkpoint();
    const DWORD took = GetTickCount() - started;

    SetWindowLongPtrA(app_.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_applicationProc));
    g_user = nullptr;
    UnhookWindowsHookEx(g_boxHook);
    g_watchdog.stop = 1;
    WaitForSingleObject(g_watchdog.thread, INFINITE);
    CloseHandle(g_watchdog.thread);

    if (HWND box = shownWindow("#32770")) fail("a box is still open: " + textOf(box));
    int boxes = 0;
    for (const auto& box : g_boxes) boxes += box.second;
    say("Random user: seed %u, %d events (%d clicks while something ran) in %lu s, %d pictures received whole, "
        "%d boxes answered, longest event %lu ms (%s).",
        options_.seed, options_.events, nested_, static_cast<unsigned long>(took / 1000), received_, boxes,
        static_cast<unsigned long>(longest_), longestEvent_.c_str());
    std::string kinds;
    for (const auto& kind : kinds_)
        kinds += (kinds.empty() ? "" : ", ") + kind.first + " " + std::to_string(kind.second);
    say("  events: %s", kinds.c_str());
    for (const auto& box : g_boxes) say("  box \"%s\": %d", box.first.c_str(), box.second);
    say("  after the warm-up (event %d): %s", warmup, describeResources(atWarmup).c_str());
    say("    GDI objects by type: %s; handles by type: %s", warmupTypes_.c_str(), warmupHandles_.c_str());
    say("  at the end (event %d):       %s", options_.events, describeResources(atEnd).c_str());
    say("    GDI objects by type: %s; handles by type: %s", gdiTypesInUse().c_str(), handleTypesInUse().c_str());
    const long long privateGrowth =
        (static_cast<long long>(atEnd.committedPrivate) - static_cast<long long>(atWarmup.committedPrivate)) / 1024;
    const struct {
        const char* what;
        long long grew;
    } counts[] = {
        {"handles (but threads and events)", (long long)atEnd.handlesChecked - (long long)atWarmup.handlesChecked},
        {"GDI table entries", (long long)atEnd.gdiTableEntries - (long long)atWarmup.gdiTableEntries},
        {"windows", (long long)atEnd.windows - (long long)atWarmup.windows},
        {"temporary entries", (long long)atEnd.temporaryEntries - (long long)atWarmup.temporaryEntries}};
    for (const auto& count : counts)
        if (count.grew > 0) fail(std::string(count.what) + " grew by " + std::to_string(count.grew));
    if (privateGrowth > options_.growthLimitKiB)
        fail("private memory grew by " + std::to_string(privateGrowth) + " KiB");
    say("  growth: committed private memory %+lld KiB, handles but threads and events %+lld, GDI table entries %+lld, "
        "windows %+lld, "
        "temporary entries %+lld",
        privateGrowth, counts[0].grew, counts[1].grew, counts[2].grew, counts[3].grew);
    return failures_;
}

LRESULT CALLBACK applicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == UM_INTERFERE) {
        if (g_user) g_user->interfere();
        return 0;
    }
    return CallWindowProcA(g_applicationProc, window, message, wParam, lParam);
}

}  // namespace

int runRandomUser(RandomUserApp& app, const RandomUserOptions& options)
{
    RandomUser user(app, options);
    return user.run();
}
