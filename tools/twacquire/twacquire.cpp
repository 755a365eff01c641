// twacquire: the project's small TWAIN application. It speaks to a source only through the
// source manager TWAIN_32.DLL, as any TWAIN 1.x application would: it opens the manager, finds the
// source by product name, opens it, prints its identity and the answer to MSG_GET of every
// capability the source lists, enables it with its user interface, routes every window message
// through MSG_PROCESSEVENT while the source is enabled, and closes everything again.
//
//   twacquire [--auto] [--source "<product name>"] [--hold <ms>] [--close-window] [--list]
//             [--pick-camera-pictures] [--camera <model>] [--port COMn] [--speed <speed>]
//             [--pick-files <folder>] [--select N,M,...] [--screenshots <folder>]
//             [--mech native|memory] [--out <folder>]
//
// Exit codes: 0 all went well, 1 bad command line, 2 no source manager, 3 source not found,
// 4 a TWAIN operation failed.
#include "camera_clicks.h"
#include "capability_text.h"
#include "file_clicks.h"
#include "picture_transfer.h"
#include "twain/twain_types.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kDefaultSource[] = "MELVO DIGITAL CAMERA WIN32";
constexpr char kWindowClass[] = "TwacquireMainWindow";
constexpr DWORD kDefaultHoldMs = 1500;
constexpr DWORD kCloseRequestWaitMs = 5000;

enum ExitCode { EXIT_OK = 0, EXIT_USAGE = 1, EXIT_NO_MANAGER = 2, EXIT_NO_SOURCE = 3, EXIT_TWAIN_FAILED = 4 };

struct Options {
    bool        autoMode = false;
    bool        listOnly = false;
    bool        closeWindow = false;  // close the source's window as a user would, expect MSG_CLOSEDSREQ
    bool        pickCamera = false;   // click through the MELVO camera window as a user would
    std::string pickFolder;           // pick pictures of this folder in the MELVO file browser
    std::vector<int> pickPositions = {1, 2};  // the thumbnails --pick-files selects
    std::string screenshots;          // folder for captures of the camera window's steps
    std::string camera = "LX-3 / MLX-300";  // what --pick-camera-pictures chooses on the option page
    std::string port = "COM1";
    std::string speed = "115200bps";
    Mechanism   mechanism = Mechanism::Native;
    std::string outputFolder;         // where the pictures are saved as BMP files
    std::string source = kDefaultSource;
    DWORD       holdMs = kDefaultHoldMs;
};

// Everything one run holds open, so that every exit path can unwind it in the right order.
struct Session {
    HMODULE          library = nullptr;
    DSMENTRYPROC     dsmEntry = nullptr;
    HWND             window = nullptr;
    TW_IDENTITY      app{};
    TW_IDENTITY      source{};
    TW_USERINTERFACE ui{};
    bool             managerOpen = false;
    bool             sourceOpen = false;
    bool             enabled = false;
    int              failures = 0;
    Mechanism        mechanism = Mechanism::Native;
    std::string      outputFolder;
    int              saved = 0;     // pictures saved so far, numbering the files
    int              received = 0;  // pictures received in this run
};

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);  // Wine's console and pipes: keep the order with the source's own output
}

// TW_STR32 fields come from the source and need not be terminated.
std::string str32(const TW_STR32 text)
{
    return std::string(text, strnlen(text, sizeof(TW_STR32)));
}

void setStr32(TW_STR32 field, const char* text)
{
    std::memset(field, 0, sizeof(TW_STR32));
    std::strncpy(field, text, sizeof(TW_STR32) - 1);
}

void usage()
{
    say("usage: twacquire [--auto] [--source \"<product name>\"] [--hold <ms>] [--close-window] [--list]");
    say("  --auto          run without a user: disable and close the source after --hold milliseconds");
    say("  --source NAME   product name of the source to use (default \"%s\")", kDefaultSource);
    say("  --hold MS       how long --auto keeps the source enabled (default %lu)",
        static_cast<unsigned long>(kDefaultHoldMs));
    say("  --close-window  with --auto: close the source's window as a user would and expect the");
    say("                  source to ask to be closed (MSG_CLOSEDSREQ)");
    say("  --list          only list the sources the manager knows");
    say("  --pick-camera-pictures  with --auto: in the MELVO source's camera window, connect the LX-3");
    say("                  camera on COM1, step through its pictures, select them all and press OK,");
    say("                  all by window messages, saying what the window shows at each step");
    say("  --camera MODEL, --port COMn, --speed SPEED  what --pick-camera-pictures chooses on the option");
    say("                  page (default \"LX-3 / MLX-300\", COM1, 115200bps)");
    say("  --pick-files DIR  with --auto: open the MELVO source's file browser on DIR, select thumbnails");
    say("                  (--select N,M,..., default 1,2: the first clicked, the others with Ctrl)");
    say("                  and press OK, all by window messages");
    say("  --screenshots DIR  with --pick-camera-pictures or --pick-files: save the window at its steps");
    say("                  as BMP files");
    say("  --mech native|memory  transfer mechanism to negotiate (default native)");
    say("  --out DIR       save every picture received as DIR\\pictureNN.bmp");
}

bool parseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--auto") {
            options->autoMode = true;
        } else if (arg == "--list") {
            options->listOnly = true;
        } else if (arg == "--close-window") {
            options->closeWindow = true;
        } else if (arg == "--pick-camera-pictures") {
            options->pickCamera = true;
        } else if (arg == "--pick-files" && i + 1 < argc) {
            options->pickFolder = argv[++i];
        } else if (arg == "--select" && i + 1 < argc) {
            options->pickPositions.clear();
            for (const char* at = argv[++i]; *at;) {
                char* end = nullptr;
                const long position = std::strtol(at, &end, 10);
                if (end == at || position < 1 || position > 9 || (*end && *end != ',')) {
                    say("twacquire: --select takes thumbnail positions 1 to 9, separated by commas");
                    return false;
                }
                options->pickPositions.push_back(static_cast<int>(position));
                at = *end ? end + 1 : end;
            }
        } else if (arg == "--screenshots" && i + 1 < argc) {
            options->screenshots = argv[++i];
        } else if (arg == "--camera" && i + 1 < argc) {
            options->camera = argv[++i];
        } else if (arg == "--port" && i + 1 < argc) {
            options->port = argv[++i];
        } else if (arg == "--speed" && i + 1 < argc) {
            options->speed = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            options->outputFolder = argv[++i];
        } else if (arg == "--mech" && i + 1 < argc) {
            const std::string mechanism = argv[++i];
            if (mechanism != "native" && mechanism != "memory") {
                say("twacquire: --mech takes native or memory");
                return false;
            }
            options->mechanism = mechanism == "memory" ? Mechanism::Memory : Mechanism::Native;
        } else if (arg == "--source" && i + 1 < argc) {
            options->source = argv[++i];
            if (options->source.empty() || options->source.size() >= sizeof(TW_STR32)) {
                say("twacquire: a product name has 1 to %u characters", unsigned(sizeof(TW_STR32) - 1));
                return false;
            }
        } else if (arg == "--hold" && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, 10);
            if (!end || *end || value > 600000) {
                say("twacquire: --hold takes milliseconds from 0 to 600000");
                return false;
            }
            options->holdMs = static_cast<DWORD>(value);
        } else {
            usage();
            return false;
        }
    }
    if ((options->pickCamera || !options->pickFolder.empty()) && !options->autoMode) {
        say("twacquire: --pick-camera-pictures and --pick-files go with --auto");
        return false;
    }
    if (options->closeWindow && !options->autoMode) {
        say("twacquire: --close-window goes with --auto (without it, close the window yourself)");
        return false;
    }
    return true;
}

TW_UINT16 callManager(Session& s, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                      TW_MEMREF data)
{
    return s.dsmEntry(&s.app, destination, dg, dat, msg, data);
}

// The condition code of the manager (destination null) or of the open source.
TW_UINT16 conditionCode(Session& s, TW_IDENTITY* destination)
{
    TW_STATUS status{};
    if (callManager(s, destination, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
        return TWCC_BUMMER;
    return status.ConditionCode;
}

void reportFailure(Session& s, const char* what, TW_UINT16 rc, TW_IDENTITY* destination)
{
    ++s.failures;
    say("FAILED: %s: %s, condition %s.", what, returnCodeName(rc).c_str(),
        conditionCodeName(conditionCode(s, destination)).c_str());
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND createMainWindow(bool show)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, kWindowClass, "twacquire", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  360, 120, nullptr, nullptr, wc.hInstance, nullptr);
    if (window && show)
        ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

void fillAppIdentity(TW_IDENTITY* app)
{
    *app = TW_IDENTITY{};
    app->Version.MajorNum = 1;
    app->Version.MinorNum = 0;
    app->Version.Language = TWLG_USA;
    app->Version.Country = TWCY_USA;
    setStr32(app->Version.Info, "twacquire 1.0");
    app->ProtocolMajor = 1;
    app->ProtocolMinor = 9;
    app->SupportedGroups = DG_CONTROL | DG_IMAGE;
    setStr32(app->Manufacturer, "MELVO camera TWAIN project");
    setStr32(app->ProductFamily, "TWAIN tools");
    setStr32(app->ProductName, "twacquire");
}

bool loadManager(Session& s)
{
    s.library = LoadLibraryA("TWAIN_32.DLL");
    if (!s.library) {
        say("Could not load the TWAIN source manager TWAIN_32.DLL (error %lu).",
            static_cast<unsigned long>(GetLastError()));
        return false;
    }
    s.dsmEntry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(s.library, "DSM_Entry"));
    if (!s.dsmEntry) {
        say("TWAIN_32.DLL has no DSM_Entry; it is not a TWAIN source manager.");
        return false;
    }
    return true;
}

bool openManager(Session& s)
{
    // The standard passes a pointer to the window handle. Wine's manager reads the pointer itself
    // as the handle; nothing here relies on the manager knowing our window (see MSG_PROCESSEVENT).
    const TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &s.window);
    if (rc != TWRC_SUCCESS) {
        reportFailure(s, "opening the source manager (MSG_OPENDSM)", rc, nullptr);
        return false;
    }
    s.managerOpen = true;
    say("Opened the TWAIN source manager.");
    return true;
}

// Walks the manager's list of sources; fills `found` with the one whose product name matches.
bool findSource(Session& s, const std::string& productName, TW_IDENTITY* found)
{
    TW_IDENTITY entry{};
    bool matched = false;
    int count = 0;
    TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &entry);
    while (rc == TWRC_SUCCESS) {
        ++count;
        const std::string name = str32(entry.ProductName);
        say("  source %d: \"%s\" (%s, %s)", count, name.c_str(), str32(entry.Manufacturer).c_str(),
            str32(entry.ProductFamily).c_str());
        if (!matched && name == productName) {
            *found = entry;
            matched = true;
        }
        entry = TW_IDENTITY{};
        rc = callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &entry);
    }
    if (count == 0)
        say("The source manager knows no sources (%s, condition %s).", returnCodeName(rc).c_str(),
            conditionCodeName(conditionCode(s, nullptr)).c_str());
    else if (rc != TWRC_ENDOFLIST)
        say("The list of sources ended with %s instead of TWRC_ENDOFLIST.", returnCodeName(rc).c_str());
    return matched;
}

void printIdentity(const TW_IDENTITY& id)
{
    std::string groups;
    if (id.SupportedGroups & DG_CONTROL)
        groups += "control";
    if (id.SupportedGroups & DG_IMAGE)
        groups += groups.empty() ? "image" : ", image";
    if (id.SupportedGroups & 0x4)
        groups += groups.empty() ? "audio" : ", audio";
    say("Source identity:");
    say("  Product name:    %s", str32(id.ProductName).c_str());
    say("  Product family:  %s", str32(id.ProductFamily).c_str());
    say("  Manufacturer:    %s", str32(id.Manufacturer).c_str());
    say("  Version:         %u.%u (%s), language %u, country %u", id.Version.MajorNum, id.Version.MinorNum,
        str32(id.Version.Info).c_str(), id.Version.Language, id.Version.Country);
    say("  TWAIN protocol:  %u.%u", id.ProtocolMajor, id.ProtocolMinor);
    say("  Data groups:     %s (0x%lX)", groups.empty() ? "none" : groups.c_str(),
        static_cast<unsigned long>(id.SupportedGroups));
    say("  Id from manager: %lu", static_cast<unsigned long>(id.Id));
}

bool openSource(Session& s, const TW_IDENTITY& chosen, const std::string& productName)
{
    s.source = chosen;
    const TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &s.source);
    if (rc != TWRC_SUCCESS) {
        reportFailure(s, "opening the source (MSG_OPENDS)", rc, nullptr);
        return false;
    }
    s.sourceOpen = true;
    // Wine's manager opens its first source when it does not know the name asked for: make sure
    // the source that answered is the one we chose.
    if (str32(s.source.ProductName) != productName) {
        ++s.failures;
        say("FAILED: the manager opened \"%s\" instead of \"%s\".", str32(s.source.ProductName).c_str(),
            productName.c_str());
        return false;
    }
    say("Opened the source \"%s\".", productName.c_str());
    return true;
}

// MSG_GET of one capability. On success the container is described in `text`; the container
// belongs to this application and is freed here.
bool getCapability(Session& s, TW_UINT16 cap, std::string* text, std::vector<TW_UINT16>* supported)
{
    TW_CAPABILITY request{cap, TWON_DONTCARE16, nullptr};
    const TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &request);
    if (rc != TWRC_SUCCESS) {
        *text = "not available: " + returnCodeName(rc) + ", condition " +
                conditionCodeName(conditionCode(s, &s.source));
        return false;
    }
    if (!request.hContainer) {
        *text = "the source answered without a container";
        return false;
    }
    const void* data = GlobalLock(request.hContainer);
    const size_t size = GlobalSize(request.hContainer);
    bool ok = data != nullptr;
    *text = ok ? describeContainer(cap, request.ConType, data, size) : "the container cannot be locked";
    if (ok && supported) {
        TW_ARRAY head{};
        ok = request.ConType == TWON_ARRAY && size >= TW_ARRAY_HEADER;
        if (ok) {
            std::memcpy(&head, data, TW_ARRAY_HEADER);
            ok = head.ItemType == TWTY_UINT16 && (size - TW_ARRAY_HEADER) / 2 >= head.NumItems;
        }
        for (TW_UINT32 i = 0; ok && i < head.NumItems; ++i) {
            TW_UINT16 id;
            std::memcpy(&id, static_cast<const TW_UINT8*>(data) + TW_ARRAY_HEADER + 2 * i, sizeof id);
            supported->push_back(id);
        }
        if (!ok)
            *text += " (not a list of capability numbers)";
    }
    if (data)
        GlobalUnlock(request.hContainer);
    GlobalFree(request.hContainer);
    return ok;
}

void printCapabilities(Session& s)
{
    std::vector<TW_UINT16> supported;
    std::string text;
    if (!getCapability(s, CAP_SUPPORTEDCAPS, &text, &supported)) {
        ++s.failures;
        say("FAILED: asking which capabilities the source supports (CAP_SUPPORTEDCAPS): %s.", text.c_str());
        return;
    }
    say("Capabilities (MSG_GET of each of the %u that CAP_SUPPORTEDCAPS lists):", unsigned(supported.size()));
    for (TW_UINT16 cap : supported) {
        if (!getCapability(s, cap, &text, nullptr))
            ++s.failures;
        say("  %-20s %s", capabilityName(cap).c_str(), text.c_str());
    }
}

// The source's windows are the visible top-level windows of this thread that are not ours.
struct ThreadWindows {
    HWND              own;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param)
{
    ThreadWindows* windows = reinterpret_cast<ThreadWindows*>(param);
    if (window != windows->own && IsWindowVisible(window))
        windows->found.push_back(window);
    return TRUE;
}

std::vector<HWND> sourceWindows(Session& s)
{
    ThreadWindows windows{s.window, {}};
    EnumThreadWindows(GetCurrentThreadId(), collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows.found;
}

void describeSourceWindows(Session& s)
{
    const std::vector<HWND> windows = sourceWindows(s);
    if (windows.empty())
        say("The source shows no window of its own.");
    for (HWND window : windows) {
        char title[128] = "", className[128] = "";
        GetWindowTextA(window, title, sizeof title);
        GetClassNameA(window, className, sizeof className);
        RECT outer{}, client{};
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        say("The source shows the window \"%s\" (class %s), %ld x %ld, inside %ld x %ld.", title, className,
            outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom);
    }
}

bool enableSource(Session& s)
{
    s.ui = TW_USERINTERFACE{TRUE, FALSE, s.window};
    const TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &s.ui);
    if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) {
        reportFailure(s, "enabling the source (MSG_ENABLEDS)", rc, &s.source);
        return false;
    }
    s.enabled = true;
    say("Enabled the source with its user interface (%s).", returnCodeName(rc).c_str());
    return true;
}

// The source announced pictures: fetch every one of them, answering MSG_ENDXFER after each.
void onTransferReady(Session& s)
{
    TW_PENDINGXFERS pending{};
    TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending);
    if (rc == TWRC_SUCCESS)
        say("The source has %d picture(s) ready (MSG_XFERREADY).", static_cast<TW_INT16>(pending.Count));
    else
        say("The source announced pictures (MSG_XFERREADY) but does not say how many.");
    TransferSession transfers;
    transfers.callSource = [&s](TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return callManager(s, &s.source, dg, dat, msg, data);
    };
    transfers.say = [](const char* text) { say("%s", text); };
    transfers.mechanism = s.mechanism;
    transfers.outputFolder = s.outputFolder;
    transfers.saved = s.saved;
    s.received += transferPendingPictures(transfers);
    s.saved = transfers.saved;
    s.failures += transfers.failures;
}

// Memory transfer is negotiated before the source is enabled (state 4), as TWAIN requires;
// native transfer is every source's default and needs no negotiation.
bool negotiateMechanism(Session& s)
{
    if (s.mechanism == Mechanism::Native)
        return true;
    TW_CAPABILITY cap{ICAP_XFERMECH, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
    auto* value = static_cast<TW_ONEVALUE*>(cap.hContainer ? GlobalLock(cap.hContainer) : nullptr);
    if (!value) {
        say("FAILED: no memory for a capability container.");
        ++s.failures;
        return false;
    }
    value->ItemType = TWTY_UINT16;
    value->Item = TWSX_MEMORY;
    GlobalUnlock(cap.hContainer);
    const TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    GlobalFree(cap.hContainer);
    if (rc != TWRC_SUCCESS) {
        reportFailure(s, "setting ICAP_XFERMECH", rc, &s.source);
        return false;
    }
    say("Negotiated memory transfer (ICAP_XFERMECH).");
    return true;
}

enum class LoopEnd { CloseRequested, TimeUp, WindowClosed };

// Runs the application's message loop while the source is enabled. Every message goes to the
// source first (MSG_PROCESSEVENT): that is how its dialog keys work and how the manager hands
// over the source's notifications.
LoopEnd runMessageLoop(Session& s, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return LoopEnd::WindowClosed;
            TW_EVENT event{&msg, MSG_NULL};
            const TW_UINT16 rc =
                callManager(s, &s.source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
            if (rc == TWRC_DSEVENT) {
                if (event.TWMessage == MSG_XFERREADY)
                    onTransferReady(s);
                else if (event.TWMessage == MSG_CLOSEDSREQ || event.TWMessage == MSG_CLOSEDSOK) {
                    say("The source asks to be closed (%s).",
                        event.TWMessage == MSG_CLOSEDSREQ ? "MSG_CLOSEDSREQ" : "MSG_CLOSEDSOK");
                    return LoopEnd::CloseRequested;
                }
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs)
                return LoopEnd::TimeUp;
            wait = timeoutMs - elapsed;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

// With --close-window: does what a user's click on the close box does, to every window the source shows.
bool closeSourceWindowsAsUser(Session& s)
{
    // Closing the file browser brings the camera window back: the user closes that one too.
    for (int round = 0; round < 3; ++round) {
        const std::vector<HWND> windows = sourceWindows(s);
        if (windows.empty())
            break;
        for (HWND window : windows)
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        say("Closed the source's window as a user would.");
        if (runMessageLoop(s, round == 0 ? kCloseRequestWaitMs / 5 : kCloseRequestWaitMs) == LoopEnd::CloseRequested)
            return true;
    }
    ++s.failures;
    say("FAILED: the source did not ask to be closed within %lu ms after its windows were closed.",
        static_cast<unsigned long>(kCloseRequestWaitMs));
    return false;
}

// The window both kinds of picking start from; null when the source shows none (said already).
HWND findCameraWindow(Session& s)
{
    HWND cameraWindow = nullptr;
    for (HWND window : sourceWindows(s)) {
        char className[32] = "";
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "TWMAINWINDOW") == 0)
            cameraWindow = window;
    }
    if (!cameraWindow)
        say("FAILED: the source shows no camera window (class TWMAINWINDOW).");
    return cameraWindow;
}

// With --pick-camera-pictures: a user at the source's camera window, played by messages.
bool pickCameraPictures(Session& s, const Options& options)
{
    HWND cameraWindow = findCameraWindow(s);
    if (!cameraWindow)
        return false;
    CameraClicks user;
    user.window = cameraWindow;
    user.pump = [&s](DWORD ms) { runMessageLoop(s, ms); };
    user.say = [](const char* text) { say("%s", text); };
    user.screenshotFolder = options.screenshots;
    user.model = options.camera;
    user.port = options.port;
    user.speed = options.speed;
    return pickAllCameraPictures(user);
}

// With --pick-files: a user at the source's file browser, opened on the folder (the application's
// current directory, where the browser starts), played by messages.
bool pickFiles(Session& s, const Options& options)
{
    HWND cameraWindow = findCameraWindow(s);
    if (!cameraWindow)
        return false;
    if (!SetCurrentDirectoryA(options.pickFolder.c_str())) {
        say("FAILED: the folder %s cannot be opened.", options.pickFolder.c_str());
        return false;
    }
    FileClicks user;
    user.cameraWindow = cameraWindow;
    user.positions = options.pickPositions;
    user.pump = [&s](DWORD ms) { runMessageLoop(s, ms); };
    user.say = [](const char* text) { say("%s", text); };
    user.screenshotFolder = options.screenshots;
    return pickFilesInBrowser(user);
}

// Unwinds whatever is open, in the order TWAIN requires: disable, close the source, close the manager.
void endSession(Session& s)
{
    if (s.enabled) {
        const TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &s.ui);
        if (rc == TWRC_SUCCESS)
            say("Disabled the source.");
        else
            reportFailure(s, "disabling the source (MSG_DISABLEDS)", rc, &s.source);
        s.enabled = false;
    }
    if (s.sourceOpen) {
        const TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &s.source);
        if (rc == TWRC_SUCCESS)
            say("Closed the source.");
        else
            reportFailure(s, "closing the source (MSG_CLOSEDS)", rc, nullptr);
        s.sourceOpen = false;
    }
    if (s.managerOpen) {
        const TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &s.window);
        if (rc == TWRC_SUCCESS)
            say("Closed the TWAIN source manager.");
        else
            reportFailure(s, "closing the source manager (MSG_CLOSEDSM)", rc, nullptr);
        s.managerOpen = false;
    }
    if (s.window && IsWindow(s.window))
        DestroyWindow(s.window);
    s.window = nullptr;
    if (s.library)
        FreeLibrary(s.library);
    s.library = nullptr;
}

int runSession(Session& s, const Options& options)
{
    if (!loadManager(s))
        return EXIT_NO_MANAGER;
    s.window = createMainWindow(!options.autoMode);
    if (!s.window) {
        say("Could not create the application window (error %lu).", static_cast<unsigned long>(GetLastError()));
        return EXIT_TWAIN_FAILED;
    }
    fillAppIdentity(&s.app);
    if (!openManager(s))
        return EXIT_NO_MANAGER;

    say("The source manager lists:");
    TW_IDENTITY chosen{};
    if (!findSource(s, options.source, &chosen)) {
        if (!options.listOnly) {
            say("No source is called \"%s\".", options.source.c_str());
            return EXIT_NO_SOURCE;
        }
        return EXIT_OK;
    }
    if (options.listOnly)
        return EXIT_OK;

    if (!openSource(s, chosen, options.source))
        return EXIT_TWAIN_FAILED;
    printIdentity(s.source);
    printCapabilities(s);

    s.mechanism = options.mechanism;
    s.outputFolder = options.outputFolder;
    if (!negotiateMechanism(s))
        return EXIT_TWAIN_FAILED;
    if (!enableSource(s))
        return EXIT_TWAIN_FAILED;
    describeSourceWindows(s);

    if (options.pickCamera && !pickCameraPictures(s, options))
        ++s.failures;
    if (!options.pickFolder.empty() && !pickFiles(s, options))
        ++s.failures;
    if (options.autoMode) {
        const LoopEnd end = runMessageLoop(s, options.holdMs);
        if (end == LoopEnd::TimeUp && options.closeWindow)
            closeSourceWindowsAsUser(s);
        else if (end == LoopEnd::TimeUp)
            say("Kept the source enabled for %lu ms.", static_cast<unsigned long>(options.holdMs));
    } else {
        say("Close the source's window (or this program's window) to finish.");
        runMessageLoop(s, INFINITE);
    }
    return EXIT_OK;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, &options))
        return EXIT_USAGE;

    Session session;
    int code = runSession(session, options);
    endSession(session);
    if (code == EXIT_OK && session.failures > 0)
        code = EXIT_TWAIN_FAILED;
    if (code == EXIT_OK)
        say("twacquire finished: everything worked.");
    else if (session.failures > 0)
        say("twacquire finished with %d failure(s) (exit code %d).", session.failures, code);
    else
        say("twacquire stopped early (exit code %d).", code);
    return code;
}
