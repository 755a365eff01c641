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
//             [--rounds N [--round-camera "<model>,COMn,<speed>"]... [--browse-every K] [--warmup W]
//              [--growth-limit KiB]] [--temp <folder>]
//
// Exit codes: 0 all went well, 1 bad command line, 2 no source manager, 3 source not found,
// 4 a TWAIN operation failed.
#include "camera_clicks.h"
#include "capability_text.h"
#include "file_clicks.h"
#include "picture_transfer.h"
#include "process_resources.h"
#include "random_user.h"
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
// The rounds wait for the pictures themselves: their clicks only let the loop turn briefly.
constexpr DWORD kRoundSettleMs = 20;

enum ExitCode { EXIT_OK = 0, EXIT_USAGE = 1, EXIT_NO_MANAGER = 2, EXIT_NO_SOURCE = 3, EXIT_TWAIN_FAILED = 4 };

// One camera of the long session: what the option page chooses.
struct RoundCamera {
    std::string model, port, speed;
};

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
    // The long session: rounds of open, enable, connect, select all, OK, every picture, disable,
    // close in this one process (native and memory in turn), the file browser every few rounds.
    int         rounds = 0;
    std::vector<RoundCamera> roundCameras;
    int         browseEvery = 3;
    int         warmup = 12;
    int         growthLimitKiB = 512;
    std::string temporaryFolder;  // made the process's temporary folder (TMP, TEMP) when given
    bool        verbose = false;      // the rounds say everything, as a single run does
    // The random user: seeded events against the source's windows and through the manager.
    bool        randomUser = false;
    RandomUserOptions random;
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

// The long session's rounds say only what failed, and their own summaries.
bool g_quiet = false;

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (g_quiet && std::strncmp(text, "FAILED", 6) != 0) return;
    std::fputs(text, stdout);
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
    say("  --rounds N      with --auto: N rounds in this one process, each opening the source,");
    say("                  enabling it, connecting a camera, selecting all, OK, receiving every picture");
    say("                  (native and memory transfer in turn), disabling and closing it; the file");
    say("                  browser (--pick-files) every --browse-every rounds (default 3). The process's");
    say("                  memory, handles, GDI and USER objects, windows and temporary folder are");
    say("                  measured after --warmup rounds (default 12) and at the end: nothing may grow");
    say("                  (private memory by at most --growth-limit KiB, default 512)");
    say("  --round-camera \"MODEL,COMn,SPEED\"  a camera of the rounds (repeatable; two rounds each in turn)");
    say("  --temp DIR      the process's temporary folder (TMP and TEMP)");
    say("  --verbose       the rounds say everything a single run says; the random user says every event");
    say("  --random-user SEED  with --auto and --pick-files: --events N (default 2000) random clicks, keys,");
    say("                  tab changes and application calls, the cameras of CAMSIM_ROOT's COM1 to COM3");
    say("                  failing now and then; every event must return within --bound ms (default");
    say("                  30000), every box is answered, nothing may leak; the seed reproduces the run");
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
        } else if ((arg == "--rounds" || arg == "--browse-every" || arg == "--warmup" || arg == "--growth-limit") &&
                   i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (!end || *end || value < (arg == "--growth-limit" ? 0 : 1) || value > 100000) {
                say("twacquire: %s takes a number from 1 to 100000", arg.c_str());
                return false;
            }
            (arg == "--rounds" ? options->rounds : arg == "--browse-every" ? options->browseEvery
                                                 : arg == "--warmup"       ? options->warmup
                                                                           : options->growthLimitKiB) = int(value);
        } else if ((arg == "--random-user" || arg == "--events" || arg == "--bound") && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, 10);
            if (!end || *end || (arg != "--random-user" && (value < 1 || value > 10000000))) {
                say("twacquire: %s takes a number", arg.c_str());
                return false;
            }
            if (arg == "--random-user") {
                options->randomUser = true;
                options->random.seed = static_cast<uint32_t>(value);
            } else if (arg == "--events") {
                options->random.events = static_cast<int>(value);
            } else {
                options->random.boundMs = static_cast<DWORD>(value);
            }
        } else if (arg == "--verbose") {
            options->verbose = true;
        } else if (arg == "--temp" && i + 1 < argc) {
            options->temporaryFolder = argv[++i];
        } else if (arg == "--round-camera" && i + 1 < argc) {
            const std::string text = argv[++i];
            const size_t first = text.find(','), second = text.find(',', first + 1);
            if (first == std::string::npos || second == std::string::npos) {
                say("twacquire: --round-camera takes \"MODEL,COMn,SPEED\"");
                return false;
            }
            options->roundCameras.push_back(
                {text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)});
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
    if (options->randomUser && (!options->autoMode || options->pickFolder.empty())) {
        say("twacquire: --random-user goes with --auto and --pick-files (the folder the user may browse)");
        return false;
    }
    if (options->rounds > 0 && (!options->autoMode || options->roundCameras.empty())) {
        say("twacquire: --rounds goes with --auto and at least one --round-camera");
        return false;
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

// Runs the application's loop until `received` pictures have arrived, or the time is up.
bool pumpUntilReceived(Session& s, int received, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (s.received < received) {
        if (GetTickCount() - start >= timeoutMs) return false;
        runMessageLoop(s, 50);
    }
    return true;
}

// One round: open, negotiate, enable, connect, select all, OK, every picture (and the file
// browser when `browse`), disable, close. False when something went wrong (said).
bool runRound(Session& s, const Options& options, const TW_IDENTITY& chosen, const RoundCamera& camera,
              Mechanism mechanism, bool browse)
{
    if (!openSource(s, chosen, options.source)) return false;
    s.mechanism = mechanism;
    bool ok = negotiateMechanism(s) && enableSource(s);
    HWND cameraWindow = ok ? findCameraWindow(s) : nullptr;
    if (cameraWindow) {
        CameraClicks user;
        user.window = cameraWindow;
        user.pump = [&s](DWORD ms) { runMessageLoop(s, ms); };
        user.say = [](const char* text) { say("%s", text); };
        user.model = camera.model;
        user.port = camera.port;
        user.speed = camera.speed;
        user.settleMs = kRoundSettleMs;
        const int before = s.received;
        const int count = connectSelectAllAndOk(user);
        ok = count > 0 && pumpUntilReceived(s, before + count, 20000);
        if (count > 0 && !ok)
            say("FAILED: %d of %d pictures of %s arrived.", s.received - before, count, camera.model.c_str());
    } else {
        ok = false;
    }
    if (ok && browse) {
        FileClicks user;
        user.cameraWindow = cameraWindow;
        user.positions = options.pickPositions;
        user.pump = [&s](DWORD ms) { runMessageLoop(s, ms); };
        user.say = [](const char* text) { say("%s", text); };
        user.settleMs = kRoundSettleMs;
        const int before = s.received;
        ok = SetCurrentDirectoryA(options.pickFolder.c_str()) && pickFilesInBrowser(user) &&
             pumpUntilReceived(s, before + int(options.pickPositions.size()), 20000) && closeFileBrowser(user);
        if (!ok) say("FAILED: the pictures picked in the file browser did not all arrive.");
    }
    if (s.enabled) {
        if (callManager(s, &s.source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &s.ui) != TWRC_SUCCESS) ok = false;
        s.enabled = false;
    }
    if (callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &s.source) != TWRC_SUCCESS) ok = false;
    s.sourceOpen = false;
    // What the closing left queued (the manager's and the source's messages) runs before measuring.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return ok;
}

long long growth(uint64_t from, uint64_t to)
{
    return static_cast<long long>(to) - static_cast<long long>(from);
}

// The long session. The rounds go through a cycle of twelve: the cameras two rounds each,
// native and memory transfer in turn, the file browser every --browse-every rounds; the
// resources are compared at the same place of the cycle, after the warm-up and at the end.
void runLongSession(Session& s, const Options& options, const TW_IDENTITY& chosen)
{
    const bool quiet = !options.verbose;
    g_quiet = quiet;
    const int cycle = 12;
    ProcessResources atWarmup, atEnd;
    int warmupRound = 0, endRound = 0, failedRounds = 0;
    const DWORD started = GetTickCount();
    for (int round = 1; round <= options.rounds; ++round) {
        const RoundCamera& camera = options.roundCameras[((round - 1) / 2) % options.roundCameras.size()];
        const Mechanism mechanism = round % 2 ? Mechanism::Native : Mechanism::Memory;
        const bool browse = !options.pickFolder.empty() && round % options.browseEvery == 0;
        const bool ok = runRound(s, options, chosen, camera, mechanism, browse);
        if (!ok) ++failedRounds;
        const ProcessResources now = measureProcess();
        g_quiet = false;
        say("Round %d (%s, %s%s): %s%s", round, camera.model.c_str(),
            mechanism == Mechanism::Native ? "native" : "memory", browse ? ", file browser" : "",
            describeResources(now).c_str(), ok ? "" : " - FAILED");
        g_quiet = quiet;
        if (round == options.warmup) {
            atWarmup = now;
            warmupRound = round;
        } else if (round > options.warmup && (round - options.warmup) % cycle == 0) {
            atEnd = now;
            endRound = round;
        }
    }
    g_quiet = false;
    s.failures += failedRounds;
    say("Long session: %d rounds in %lu s, %d pictures received, %d round(s) failed.", options.rounds,
        static_cast<unsigned long>((GetTickCount() - started) / 1000), s.received, failedRounds);
    if (!warmupRound || !endRound) {
        ++s.failures;
        say("FAILED: the session needs at least %d rounds to compare round %d with a round %d later.",
            options.warmup + cycle, options.warmup, cycle);
        return;
    }
    say("After the warm-up (round %d): %s", warmupRound, describeResources(atWarmup).c_str());
    say("At the end (round %d):       %s", endRound, describeResources(atEnd).c_str());
    const long long privateGrowth = growth(atWarmup.committedPrivate, atEnd.committedPrivate) / 1024;
    struct Count {
        const char* what;
        long long grew;
    } counts[] = {
        {"handles (but threads and events)", growth(atWarmup.handlesChecked, atEnd.handlesChecked)},
        {"GDI objects", growth(atWarmup.gdiObjects, atEnd.gdiObjects)},
        {"GDI table entries", growth(atWarmup.gdiTableEntries, atEnd.gdiTableEntries)},
        {"USER objects", growth(atWarmup.userObjects, atEnd.userObjects)},
        {"windows", growth(atWarmup.windows, atEnd.windows)},
        {"temporary entries", growth(atWarmup.temporaryEntries, atEnd.temporaryEntries)},
    };
    say("Growth from round %d to round %d: committed private memory %+lld KiB (private usage %+lld KiB), "
        "handles but threads and events %+lld, GDI objects %+lld (table %+lld), USER objects %+lld, windows %+lld, "
        "temporary entries %+lld.",
        warmupRound, endRound, privateGrowth, growth(atWarmup.privateUsage, atEnd.privateUsage) / 1024, counts[0].grew,
        counts[1].grew, counts[2].grew, counts[3].grew, counts[4].grew, counts[5].grew);
    for (const Count& count : counts) {
        if (count.grew > 0) {
            ++s.failures;
            say("FAILED: %s grew by %lld.", count.what, count.grew);
        }
    }
    if (privateGrowth > options.growthLimitKiB) {
        ++s.failures;
        say("FAILED: private memory grew by %lld KiB (at most %d).", privateGrowth, options.growthLimitKiB);
    }
}

// The random user, with the application's calls going through the manager.
void runRandomSession(Session& s, const Options& options, const TW_IDENTITY& chosen)
{
    RandomUserApp app;
    app.window = s.window;
    app.say = [](const char* text) { say("%s", text); };
    app.callSource = [&s](TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return callManager(s, &s.source, dg, dat, msg, data);
    };
    app.openSource = [&s, &chosen]() {
        // A manager writes the Id it assigns into the identity even when the open then fails
        // (Wine's does): the open source's identity must not be the one handed to a failing open.
        TW_IDENTITY attempt = chosen;
        const TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &attempt);
        if (rc == TWRC_SUCCESS) {
            s.source = attempt;
            s.sourceOpen = true;
        }
        return rc;
    };
    app.closeSource = [&s]() {
        const TW_UINT16 rc = callManager(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &s.source);
        if (rc == TWRC_SUCCESS) s.sourceOpen = s.enabled = false;
        return rc;
    };
    app.userInterface = [&s](TW_UINT16 message) {
        s.ui = TW_USERINTERFACE{TRUE, FALSE, s.window};
        const TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_USERINTERFACE, message, &s.ui);
        if (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) s.enabled = message == MSG_ENABLEDS;
        return rc;
    };
    app.processEvent = [&s](MSG* message, TW_UINT16* notification) {
        TW_EVENT event{message, MSG_NULL};
        const TW_UINT16 rc = callManager(s, &s.source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        *notification = event.TWMessage;
        return rc;
    };
    RandomUserOptions random = options.random;
    random.pictureFolder = options.pickFolder;
    random.verbose = options.verbose;
    char root[MAX_PATH] = "";
    GetEnvironmentVariableA("CAMSIM_ROOT", root, sizeof root);
    random.cameraRoot = root;
    s.failures += runRandomUser(app, random);
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
    if (options.rounds > 0) {
        s.outputFolder = options.outputFolder;
        runLongSession(s, options, chosen);
        return EXIT_OK;
    }
    if (options.randomUser) {
        runRandomSession(s, options, chosen);
        return EXIT_OK;
    }

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

    if (!options.temporaryFolder.empty()) {
        SetEnvironmentVariableA("TMP", options.temporaryFolder.c_str());
        SetEnvironmentVariableA("TEMP", options.temporaryFolder.c_str());
    }
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
