// The data source driven end to end through Wine's real source manager, as an application drives
// it: the built LX3TWS32.ds is installed where Wine's TWAIN_32.DLL looks for sources
// (C:\windows\twain_32\sane.ds, loaded as native with sane.ds=n), and every call below goes
// through DSM_Entry.
#include "twain/twain_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kProductName[] = "MELVO DIGITAL CAMERA WIN32";
constexpr char kWindowClass[] = "TWMAINWINDOW";
constexpr char kWindowTitle[] = "MELVO DIGITAL CAMERA";

std::string str32(const TW_STR32 text)
{
    return std::string(text, strnlen(text, sizeof(TW_STR32)));
}

bool sameFileContents(const char* a, const char* b)
{
    HANDLE fa = CreateFileA(a, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE fb = CreateFileA(b, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = fa != INVALID_HANDLE_VALUE && fb != INVALID_HANDLE_VALUE && GetFileSize(fa, nullptr) == GetFileSize(fb, nullptr);
    std::vector<char> bufferA(65536), bufferB(65536);
    while (same) {
        DWORD readA = 0, readB = 0;
        same = ReadFile(fa, bufferA.data(), 65536, &readA, nullptr) && ReadFile(fb, bufferB.data(), 65536, &readB, nullptr) &&
               readA == readB && std::memcmp(bufferA.data(), bufferB.data(), readA) == 0;
        if (readA == 0)
            break;
    }
    if (fa != INVALID_HANDLE_VALUE)
        CloseHandle(fa);
    if (fb != INVALID_HANDLE_VALUE)
        CloseHandle(fb);
    return same;
}

// Copies <build>\bin\LX3TWS32.ds (beside this test's folder) to C:\windows\twain_32\sane.ds,
// or twain_64 in the 64-bit build: Wine's manager looks in the folder of its own width.
// An identical copy is left alone: overwriting a library that another process has mapped would
// pull it from under that process.
::testing::AssertionResult installSource()
{
    char built[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, built, MAX_PATH);
    char* slash = length ? strrchr(built, '\\') : nullptr;
    if (!slash)
        return ::testing::AssertionFailure() << "cannot tell where the test runs from";
    *slash = '\0';
    lstrcatA(built, "\\..\\bin\\LX3TWS32.ds");

    char target[MAX_PATH];
    GetWindowsDirectoryA(target, MAX_PATH);
#ifdef _WIN64
    lstrcatA(target, "\\twain_64");
#else
    lstrcatA(target, "\\twain_32");
#endif
    CreateDirectoryA(target, nullptr);
    lstrcatA(target, "\\sane.ds");
    if (GetFileAttributesA(built) == INVALID_FILE_ATTRIBUTES)
        return ::testing::AssertionFailure() << built << " is not built";
    if (!sameFileContents(built, target) && !CopyFileA(built, target, FALSE))
        return ::testing::AssertionFailure() << "copying " << built << " to " << target << " failed, error "
                                             << GetLastError();
    return ::testing::AssertionSuccess();
}

// The camera window of the source loaded into this process. FindWindow would search the whole
// desktop, where tests running at the same time in other processes show camera windows too.
struct WindowSearch {
    const char* title;  // null: any title
    HWND        found;
};

BOOL CALLBACK matchCameraWindow(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    char className[64] = "", title[64] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(className, kWindowClass) != 0 || (search->title && std::strcmp(title, search->title) != 0))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND findCameraWindow(const char* title = kWindowTitle)
{
    WindowSearch search{title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchCameraWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

LRESULT CALLBACK appWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createAppWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = appWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TwainManagerTestApp";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "TWAIN manager test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

// The application's side of a session with the manager: open, find, open the source; the
// destructor unwinds whatever is still open, so a failed assertion leaves nothing behind.
class ManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(installSource()); }

    void SetUp() override
    {
        app.Version.MajorNum = 1;
        app.Version.Language = TWLG_USA;
        app.Version.Country = TWCY_USA;
        app.ProtocolMajor = 1;
        app.ProtocolMinor = 9;
        app.SupportedGroups = DG_CONTROL | DG_IMAGE;
        lstrcpyA(app.ProductName, "TWAIN manager test");

        manager = LoadLibraryA("TWAIN_32.DLL");
        ASSERT_NE(nullptr, manager);
        dsm = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(manager, "DSM_Entry"));
        ASSERT_NE(nullptr, dsm);
        window = createAppWindow();
        ASSERT_NE(nullptr, window);
        ASSERT_EQ(TWRC_SUCCESS, toManager(DAT_PARENT, MSG_OPENDSM, &window));
        managerOpen = true;
    }

    void TearDown() override
    {
        if (enabled)
            toSource(DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        if (sourceOpen) {
            EXPECT_EQ(TWRC_SUCCESS, toManager(DAT_IDENTITY, MSG_CLOSEDS, &source));
        }
        if (managerOpen) {
            EXPECT_EQ(TWRC_SUCCESS, toManager(DAT_PARENT, MSG_CLOSEDSM, &window));
        }
        if (window)
            DestroyWindow(window);
        if (manager)
            FreeLibrary(manager);
    }

    TW_UINT16 toManager(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return dsm(&app, nullptr, DG_CONTROL, dat, msg, data);
    }
    TW_UINT16 toSource(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return dsm(&app, &source, DG_CONTROL, dat, msg, data);
    }
    TW_UINT16 sourceCondition()
    {
        TW_STATUS status{0xEEEE, 0xEEEE};
        EXPECT_EQ(TWRC_SUCCESS, toSource(DAT_STATUS, MSG_GET, &status));
        return status.ConditionCode;
    }

    // The product names of the manager's list, in its order; `found` gets the one we look for.
    std::vector<std::string> listSources(TW_IDENTITY* found)
    {
        std::vector<std::string> names;
        TW_IDENTITY entry{};
        TW_UINT16 rc = toManager(DAT_IDENTITY, MSG_GETFIRST, &entry);
        while (rc == TWRC_SUCCESS && names.size() < 16) {
            names.push_back(str32(entry.ProductName));
            if (names.back() == kProductName)
                *found = entry;
            entry = TW_IDENTITY{};
            rc = toManager(DAT_IDENTITY, MSG_GETNEXT, &entry);
        }
        EXPECT_EQ(TWRC_ENDOFLIST, rc);
        return names;
    }

    void openSource()
    {
        TW_IDENTITY found{};
        listSources(&found);
        ASSERT_STREQ(kProductName, found.ProductName);
        source = found;
        ASSERT_EQ(TWRC_SUCCESS, toManager(DAT_IDENTITY, MSG_OPENDS, &source));
        sourceOpen = true;
        // Wine's manager falls back to its first source for an unknown name.
        ASSERT_STREQ(kProductName, source.ProductName);
    }

    TW_UINT16 enable(bool showUI, HWND parent)
    {
        ui = TW_USERINTERFACE{static_cast<TW_BOOL>(showUI), FALSE, parent};
        const TW_UINT16 rc = toSource(DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
        enabled = rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS;
        return rc;
    }

    // MSG_GET-style request; the container is copied out and freed, as the application owns it.
    std::vector<TW_UINT8> capability(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16* conType, TW_UINT16* rc)
    {
        TW_CAPABILITY request{cap, TWON_DONTCARE16, nullptr};
        *rc = toSource(DAT_CAPABILITY, msg, &request);
        *conType = request.ConType;
        std::vector<TW_UINT8> bytes;
        if (*rc != TWRC_SUCCESS || !request.hContainer)
            return bytes;
        const void* data = GlobalLock(request.hContainer);
        if (data) {
            bytes.assign(static_cast<const TW_UINT8*>(data), static_cast<const TW_UINT8*>(data) + GlobalSize(request.hContainer));
            GlobalUnlock(request.hContainer);
        }
        GlobalFree(request.hContainer);
        return bytes;
    }

    TW_UINT16 setOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value)
    {
        TW_CAPABILITY request{cap, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
        auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(request.hContainer));
        one->ItemType = itemType;
        one->Item = value;
        GlobalUnlock(request.hContainer);
        const TW_UINT16 rc = toSource(DAT_CAPABILITY, MSG_SET, &request);
        GlobalFree(request.hContainer);
        return rc;
    }

    // Runs the application's message loop, every message through MSG_PROCESSEVENT, until the
    // manager hands over `wanted` or the time is up; returns whether it came. `taken` collects
    // every message the loop took from the queue.
    bool waitForSourceMessage(TW_UINT16 wanted, DWORD timeoutMs, std::vector<MSG>* taken = nullptr)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (taken)
                    taken->push_back(msg);
                TW_EVENT event{&msg, MSG_NULL};
                if (dsm(&app, &source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT) {
                    if (event.TWMessage == wanted)
                        return true;
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return false;
    }

    HMODULE          manager = nullptr;
    DSMENTRYPROC     dsm = nullptr;
    HWND             window = nullptr;
    TW_IDENTITY      app{};
    TW_IDENTITY      source{};
    TW_USERINTERFACE ui{};
    bool             managerOpen = false;
    bool             sourceOpen = false;
    bool             enabled = false;
};

TEST_F(ManagerTest, TheManagerListsTheSourceWithItsIdentity)
{
    TW_IDENTITY found{};
    const std::vector<std::string> names = listSources(&found);
    ASSERT_STREQ(kProductName, found.ProductName) << "listed: " << ::testing::PrintToString(names);
    EXPECT_STREQ("TWAIN Working Group", found.Manufacturer);
    EXPECT_STREQ("TWAIN", found.ProductFamily);
    EXPECT_STREQ("October, 1997", found.Version.Info);
    EXPECT_EQ(1, found.Version.MajorNum);
    EXPECT_EQ(0, found.Version.MinorNum);
    EXPECT_EQ(TWLG_USA, found.Version.Language);
    EXPECT_EQ(TWCY_USA, found.Version.Country);
    EXPECT_EQ(1, found.ProtocolMajor);
    EXPECT_EQ(6, found.ProtocolMinor);
    EXPECT_EQ(DG_CONTROL | DG_IMAGE, found.SupportedGroups);
}

TEST_F(ManagerTest, OpensTheSourceAndNegotiatesTheTransferMechanism)
{
    openSource();

    TW_UINT16 conType = 0, rc = 0;
    std::vector<TW_UINT8> bytes = capability(MSG_GET, ICAP_XFERMECH, &conType, &rc);
    ASSERT_EQ(TWRC_SUCCESS, rc);
    ASSERT_EQ(TWON_ENUMERATION, conType);
    ASSERT_GE(bytes.size(), TW_ENUMERATION_HEADER + 4);
    TW_ENUMERATION head;
    std::memcpy(&head, bytes.data(), TW_ENUMERATION_HEADER);
    EXPECT_EQ(TWTY_UINT16, head.ItemType);
    ASSERT_EQ(2u, head.NumItems);
    EXPECT_EQ(0u, head.CurrentIndex);
    EXPECT_EQ(0u, head.DefaultIndex);
    TW_UINT16 items[2];
    std::memcpy(items, bytes.data() + TW_ENUMERATION_HEADER, sizeof items);
    EXPECT_EQ(TWSX_NATIVE, items[0]);
    EXPECT_EQ(TWSX_MEMORY, items[1]);

    ASSERT_EQ(TWRC_SUCCESS, setOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY));
    bytes = capability(MSG_GETCURRENT, ICAP_XFERMECH, &conType, &rc);
    ASSERT_EQ(TWRC_SUCCESS, rc);
    ASSERT_EQ(TWON_ONEVALUE, conType);
    ASSERT_GE(bytes.size(), sizeof(TW_ONEVALUE));
    TW_ONEVALUE current;
    std::memcpy(&current, bytes.data(), sizeof current);
    EXPECT_EQ(TWTY_UINT16, current.ItemType);
    EXPECT_EQ(TWSX_MEMORY, current.Item);

    // A mechanism the source does not offer is refused, and the condition code says why.
    EXPECT_EQ(TWRC_FAILURE, setOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE));
    EXPECT_EQ(TWCC_BADVALUE, sourceCondition());

    // Back to native: the source stays loaded in this process for the next test.
    bytes = capability(MSG_RESET, ICAP_XFERMECH, &conType, &rc);
    ASSERT_EQ(TWRC_SUCCESS, rc);
    bytes = capability(MSG_GETCURRENT, ICAP_XFERMECH, &conType, &rc);
    ASSERT_GE(bytes.size(), sizeof(TW_ONEVALUE));
    std::memcpy(&current, bytes.data(), sizeof current);
    EXPECT_EQ(TWSX_NATIVE, current.Item);
}

TEST_F(ManagerTest, SupportedCapabilitiesAllAnswerMsgGet)
{
    openSource();
    TW_UINT16 conType = 0, rc = 0;
    const std::vector<TW_UINT8> list = capability(MSG_GET, CAP_SUPPORTEDCAPS, &conType, &rc);
    ASSERT_EQ(TWRC_SUCCESS, rc);
    ASSERT_EQ(TWON_ARRAY, conType);
    ASSERT_GE(list.size(), TW_ARRAY_HEADER);
    TW_ARRAY head;
    std::memcpy(&head, list.data(), TW_ARRAY_HEADER);
    ASSERT_EQ(TWTY_UINT16, head.ItemType);
    ASSERT_EQ(15u, head.NumItems);
    ASSERT_GE(list.size(), TW_ARRAY_HEADER + 2 * head.NumItems);
    for (TW_UINT32 i = 0; i < head.NumItems; ++i) {
        TW_UINT16 cap;
        std::memcpy(&cap, list.data() + TW_ARRAY_HEADER + 2 * i, sizeof cap);
        SCOPED_TRACE(cap);
        const std::vector<TW_UINT8> answer = capability(MSG_GET, cap, &conType, &rc);
        EXPECT_EQ(TWRC_SUCCESS, rc);
        EXPECT_FALSE(answer.empty());
    }
}

TEST_F(ManagerTest, EnableShowsTheCameraWindowAndCloseRemovesIt)
{
    openSource();
    ASSERT_EQ(TWRC_SUCCESS, enable(true, window));

    HWND camera = findCameraWindow();
    ASSERT_NE(nullptr, camera) << "no window of class TWMAINWINDOW titled \"MELVO DIGITAL CAMERA\"";
    EXPECT_TRUE(IsWindowVisible(camera));
    RECT outer{}, client{};
    GetWindowRect(camera, &outer);
    GetClientRect(camera, &client);
    EXPECT_EQ(384, outer.right - outer.left);
    EXPECT_EQ(308, outer.bottom - outer.top);
    EXPECT_EQ(378, client.right);   // Wine's frame and caption for WS_CAPTION | WS_SYSMENU
    EXPECT_EQ(283, client.bottom);
    EXPECT_EQ(0, GetWindowLongA(camera, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the application gave a parent";

    ASSERT_EQ(TWRC_SUCCESS, toSource(DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    enabled = false;
    EXPECT_FALSE(IsWindowVisible(camera)) << "ShowUI TRUE, yet no source window may stay up in state 4";
    ASSERT_EQ(TWRC_SUCCESS, toManager(DAT_IDENTITY, MSG_CLOSEDS, &source));
    sourceOpen = false;
    EXPECT_FALSE(IsWindow(camera));
    EXPECT_EQ(nullptr, findCameraWindow(nullptr));
}

TEST_F(ManagerTest, EnableWithoutUserInterfaceShowsTheWindowAnywayAndSaysCheckStatus)
{
    openSource();
    ASSERT_EQ(TWRC_CHECKSTATUS, enable(false, nullptr));
    HWND camera = findCameraWindow();
    ASSERT_NE(nullptr, camera);
    EXPECT_TRUE(IsWindowVisible(camera));
    EXPECT_NE(0, GetWindowLongA(camera, GWL_EXSTYLE) & WS_EX_TOPMOST) << "no parent: the window stays on top";

    TW_USERINTERFACE hide{FALSE, FALSE, nullptr};
    ASSERT_EQ(TWRC_SUCCESS, toSource(DAT_USERINTERFACE, MSG_DISABLEDS, &hide));
    enabled = false;
    EXPECT_FALSE(IsWindowVisible(camera));
}

// The user closes the camera window: the source's MSG_CLOSEDSREQ goes to Wine's manager, which
// hands it to the application in MSG_PROCESSEVENT; the application then disables and closes.
TEST_F(ManagerTest, ClosingTheCameraWindowAsksTheApplicationToCloseTheSource)
{
    openSource();
    ASSERT_EQ(TWRC_SUCCESS, enable(true, window));
    HWND camera = findCameraWindow();
    ASSERT_NE(nullptr, camera);

    PostMessageA(camera, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(waitForSourceMessage(MSG_CLOSEDSREQ, 5000)) << "no MSG_CLOSEDSREQ within 5 s";
    EXPECT_FALSE(IsWindow(camera));

    EXPECT_EQ(TWRC_SUCCESS, toSource(DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    enabled = false;
    EXPECT_EQ(TWRC_SUCCESS, toManager(DAT_IDENTITY, MSG_CLOSEDS, &source));
    sourceOpen = false;
}

// The close request also reaches an application that sleeps in GetMessage: the source posts a
// WM_NULL to the window given at MSG_ENABLEDS, or to the enabling thread when there was none.
TEST_F(ManagerTest, TheCloseRequestWakesTheApplicationsMessageLoop)
{
    openSource();
    for (HWND parent : {window, HWND(nullptr)}) {
        SCOPED_TRACE(parent ? "application window" : "no window");
        ASSERT_NE(TWRC_FAILURE, enable(true, parent));
        HWND camera = findCameraWindow();
        ASSERT_NE(nullptr, camera);

        PostMessageA(camera, WM_SYSCOMMAND, SC_CLOSE, 0);
        std::vector<MSG> taken;
        EXPECT_TRUE(waitForSourceMessage(MSG_CLOSEDSREQ, 5000, &taken)) << "no MSG_CLOSEDSREQ within 5 s";
        MSG rest;  // the loop stopped at the request; the wake-up may still wait behind it
        while (taken.size() < 1000 && PeekMessageA(&rest, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(rest);
            DispatchMessageA(&rest);
        }
        int wakeUps = 0;
        for (const MSG& msg : taken)
            wakeUps += msg.message == WM_NULL && msg.hwnd == parent;
        EXPECT_EQ(1, wakeUps);

        ASSERT_EQ(TWRC_SUCCESS, toSource(DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
        enabled = false;
    }
}

}  // namespace
