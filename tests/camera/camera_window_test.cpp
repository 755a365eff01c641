// The camera window driven as a user drives it: the test sends the window the messages that
// clicks and typing produce (WM_COMMAND from the controls, WM_LBUTTONDOWN on the tab headers,
// CBN_CLOSEUP, EN_CHANGE) and reads back what a user or an application sees: the controls, their
// texts and enabled states, the settings file, the calls the simulated camera received, the
// message boxes, the notifications and the pending count.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "camera/camera_connection.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera_window/camera_window.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/picture_list.h"
#include "fake_dsm.h"
#include "message_box_recorder.h"
#include "resources/resource_ids.h"
#include "source_session.h"
#include "../standins/cameras/camera_folder.h"

namespace {

const std::string CAPTION = "MELVO DIGITAL CAMERA ERROR: ";
const std::string CANNOT_CONNECT = CAPTION + "Cannot connect to the camera.\nPlease check the connection.";
const std::string COMMUNICATION = CAPTION + "Communication failure.\nPlease reset the camera.";
const std::vector<std::string> SELECT_IMAGES = {CAPTION + "Please select image(s)."};

const std::map<int, const char*> CAMERA_PAGE_NAMES = {
    {IDC_SELECT, "select"}, {IDC_SELECTALL, "all"}, {IDC_CANCELALL, "none"}, {IDC_PREV, "prev"},
    {IDC_NEXT, "next"},     {IDC_OK, "ok"},         {IDC_NUMBER, "number"},  {IDC_TOTAL, "total"},
    {IDC_CARD, "card"},     {IDC_MEMORY, "memory"}};

class CameraWindow : public SourceTest {
protected:
    static void SetUpTestSuite()
    {
        SourceTest::SetUpTestSuite();
        if (!dsm.library) ASSERT_TRUE(fakeDsmOpen(&dsm)) << "TWAIN_32.DLL stand-in missing beside the test";
    }

    void SetUp() override
    {
        SourceTest::SetUp();
        DeleteFileA(settingsFilePath().c_str());
        g_settings = {};
        g_camera = {};
    }
    void TearDown() override
    {
        SourceTest::TearDown();
        EXPECT_FALSE(cameraConnected()) << "closing the source closes the camera link";
    }

    void enable()
    {
        if (g_source.state == STATE_DSM_OPEN) ASSERT_EQ(TWRC_SUCCESS, session.open());
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
        window = g_cameraWindow.window;
        ASSERT_TRUE(IsWindowVisible(window));
    }
    void closeSource()
    {
        if (g_source.state >= STATE_ENABLED) session.disable();
        EXPECT_EQ(TWRC_SUCCESS, session.close());
    }

    HWND control(int id) { return GetDlgItem(window, id); }
    void command(int id, WORD code = BN_CLICKED)
    {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control(id)));
    }
    void click(int x, int y) { SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void cameraTab() { click(130, 27); }
    void optionTab() { click(200, 27); }
    // Picks entry `index` of a settings box and closes its list, as a user's choice does.
    void choose(int id, int index)
    {
        SendMessageA(control(id), CB_SETCURSEL, index, 0);
        command(id, CBN_CLOSEUP);
    }
    // Typing into the number box: the box itself notifies the window with EN_CHANGE.
    void type(const char* text) { SetWindowTextA(control(IDC_NUMBER), text); }

    std::string text(int id, UINT message = WM_GETTEXT, WPARAM index = 64)
    {
        char buffer[64] = "";
        if (static_cast<LRESULT>(index) >= 0) SendMessageA(control(id), message, index, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    std::string choice(int id) { return text(id, CB_GETLBTEXT, SendMessageA(control(id), CB_GETCURSEL, 0, 0)); }
    std::string choices() { return choice(IDC_MODEL) + ", " + choice(IDC_PORT) + ", " + choice(IDC_SPEED); }
    int speedCount() { return static_cast<int>(SendMessageA(control(IDC_SPEED), CB_GETCOUNT, 0, 0)); }
    std::string numbers() { return text(IDC_NUMBER) + " / " + text(IDC_TOTAL); }

    // Which page is shown and whether it is live, as the user sees it.
    std::string page()
    {
        if (control(IDC_MODEL)) return IsWindowEnabled(control(IDC_MODEL)) ? "option offline" : "option online";
        if (control(IDC_OK)) return IsWindowEnabled(control(IDC_OK)) ? "camera online" : "camera offline";
        return "none";
    }
    std::string enabledOnCameraPage()
    {
        std::string names;
        for (const auto& [id, name] : CAMERA_PAGE_NAMES)
            if (control(id) && IsWindowEnabled(control(id))) names += names.empty() ? name : std::string(" ") + name;
        return names;
    }

    std::string setting(const char* key)
    {
        char value[32] = "";
        GetPrivateProfileStringA("DEFAULT_OPTION", key, "", value, sizeof value, settingsFilePath().c_str());
        return value;
    }
    std::string settingsFile() { return setting("CameraNum") + "," + setting("PortNum") + "," + setting("SendSpeed"); }
    void writeSettings(const char* model, const char* port, const char* speed)
    {
        WritePrivateProfileStringA("DEFAULT_OPTION", "CameraNum", model, settingsFilePath().c_str());
        WritePrivateProfileStringA("DEFAULT_OPTION", "PortNum", port, settingsFilePath().c_str());
        WritePrivateProfileStringA("DEFAULT_OPTION", "SendSpeed", speed, settingsFilePath().c_str());
    }

    std::vector<std::string> boxTexts()
    {
        std::vector<std::string> texts;
        for (const RecordedBox& box : boxes.boxes()) texts.push_back(box.caption + ": " + box.text);
        boxes.clear();
        return texts;
    }
    // The notifications the source sent to the manager since the last look.
    std::vector<TW_UINT16> notifications()
    {
        std::vector<TW_UINT16> messages;
        for (TW_UINT32 i = 0; i < dsm.callCount(); ++i) {
            FakeDsmCall call{};
            if (dsm.getCall(i, &call)) messages.push_back(call.msg);
        }
        dsm.clear();
        return messages;
    }
    static BOOL CALLBACK countWindow(HWND, LPARAM count)
    {
        ++*reinterpret_cast<size_t*>(count);
        return TRUE;
    }
    size_t threadWindows()
    {
        size_t count = 0;
        EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&count));
        return count;
    }
    std::vector<std::string> lastCalls(size_t count)
    {
        const std::vector<std::string> calls = cameras.log(1);
        return std::vector<std::string>(calls.end() - std::min(count, calls.size()), calls.end());
    }
    // The numbers OK handed over, in the order the acquisition takes them.
    std::vector<int> handedOver()
    {
        std::vector<int> numbers;
        while (uint16_t number = pictureListTakeFirst()) numbers.push_back(number);
        return numbers;
    }
    TW_INT16 pending()
    {
        TW_PENDINGXFERS transfers{};
        EXPECT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_GET, &transfers));
        return static_cast<TW_INT16>(transfers.Count);
    }

    // The source closed and the camera gone, for the next case of a table.
    void startOver()
    {
        if (g_source.state != STATE_DSM_OPEN) closeSource();
        window = nullptr;
        removeTree(cameras.port(1));
    }
    // A camera of `family` on COM1 with `pictures` pictures, connected through the option page.
    void connect(int family, int pictures, const std::string& extraIni = "", int speedIndex = 3)
    {
        std::vector<std::string> names;
        for (int i = 1; i <= pictures; ++i) names.push_back("P" + std::to_string(i) + (family == 3 ? ".jpg" : ".k4i"));
        cameras.makeCameraWithPictures(1, family, names, extraIni);
        if (!window) enable();
        choose(IDC_MODEL, 3 - family);
        choose(IDC_SPEED, speedIndex);
        command(IDC_CAMERA);
        ASSERT_EQ("camera online", page());
    }

    static FakeDsm dsm;
    HWND window = nullptr;
    MessageBoxRecorder boxes;
    CameraFolders cameras;
    // The settings file of the prefix is the user's: kept aside and put back around each test.
    KeptFile settings{settingsFilePath()};
};

FakeDsm CameraWindow::dsm;

// ---- Option page and settings file ---------------------------------------------------------

TEST_F(CameraWindow, OptionPageShowsTheSettingsFileAndWritesDefaultsOnlyWhenItNamesNoCamera)
{
    // The three keys of the file (nullptr: missing), what the page shows, the speeds offered, the file after.
    struct Case {
        const char* model; const char* port; const char* speed; std::string shown; int speeds; std::string fileAfter;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, "LX-3 / MLX-300, COM1, 115200bps", 7, "3,1,6"},
        {"1", "3", "2", "LX-1 / MLX-1, COM3, 9600bps", 4, "1,3,2"},
        {"2", nullptr, "5", "LX-2 / MLX-2, , 57600bps", 7, "2,,5"},
        {"7", "2", "1", ", COM2, 4800bps", 7, "7,2,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        DeleteFileA(settingsFilePath().c_str());
        if (c.model) writeSettings(c.model, c.port, c.speed);
        g_settings = {};
        enable();
        EXPECT_EQ("option offline", page());
        EXPECT_EQ(c.shown, choices());
        EXPECT_EQ(c.speeds, speedCount());
        EXPECT_EQ(c.fileAfter, settingsFile());
        closeSource();
    }
}

TEST_F(CameraWindow, SpeedListFollowsTheModelAndChoicesReachTheFileOnlyByConnecting)
{
    enable();
    choose(IDC_SPEED, 5);
    choose(IDC_MODEL, 2);
    EXPECT_EQ("LX-1 / MLX-1, COM1, 19200bps", choices());
    EXPECT_EQ(4, speedCount());
    choose(IDC_MODEL, 1);
    EXPECT_EQ("LX-2 / MLX-2, COM1, 19200bps", choices());
    EXPECT_EQ(7, speedCount());

    // Showing the camera page takes the choices without writing them; the option page keeps them.
    cameraTab();
    EXPECT_EQ("camera offline", page());
    EXPECT_EQ("", enabledOnCameraPage());
    optionTab();
    EXPECT_EQ("LX-2 / MLX-2, COM1, 19200bps", choices());
    EXPECT_EQ("3,1,6", settingsFile());

    cameras.makeCameraWithPictures(1, 2, {"a.k4i"});
    command(IDC_CAMERA);
    EXPECT_EQ("camera online", page());
    EXPECT_EQ("2,1,3", settingsFile());
    EXPECT_EQ("open port=1 speed=19200 -> 0", cameras.log(1).at(0));
}

// ---- Camera link ----------------------------------------------------------------------------

TEST_F(CameraWindow, EachFamilyConnectsShowsItsPositionAndClosesFromEitherPage)
{
    struct Case { int family; int speedIndex; const char* open; const char* enabled; const char* savedSpeed; };
    const Case cases[] = {
        {1, 3, "open port=1 speed=19200 fixed=8,0,0,1,0 -> 0", "select all none prev next ok card", "3"},
        {2, 6, "open port=1 speed=115200 -> 0", "select all none prev next ok card memory", "6"},
        {3, 6, "open port=1 speed=7 model=3 -> 0", "select all none prev next ok number memory", "6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.open);
        connect(c.family, 3, "", c.speedIndex);
        EXPECT_EQ(c.open, cameras.log(1).at(0));
        EXPECT_EQ("1 / 3", numbers());
        EXPECT_EQ(c.enabled, enabledOnCameraPage());
        EXPECT_EQ(std::to_string(c.family) + ",1," + c.savedSpeed, settingsFile());

        // While connected the option page cannot change the settings; its tab leads back.
        optionTab();
        EXPECT_EQ("option online", page());
        cameraTab();
        EXPECT_EQ("camera online", page());
        if (c.family == 2) optionTab();
        command(IDC_CAMERA);
        EXPECT_EQ("option offline", page());
        EXPECT_EQ("close -> 0", cameras.log(1).back());
        EXPECT_TRUE(boxTexts().empty());
        removeTree(cameras.port(1));
    }
}

TEST_F(CameraWindow, FailedConnectShowsTheCodeClosesWhatItOpenedAndKeepsTheFile)
{
    // CameraNum of the file; the family of the camera on COM1 (0: no camera) and its camera.ini.
    struct Case { const char* file; int family; const char* ini; std::string box; std::vector<std::string> calls; };
    const Case cases[] = {
        {"3", 0, "", CANNOT_CONNECT + "(ff01)", {}},
        {"1", 1, "[faults]\r\ngetstatus=ff42\r\n", CANNOT_CONNECT + "(ff42)",
         {"open port=1 speed=19200 fixed=8,0,0,1,0 -> 0", "getstatus -> ff42", "close -> 0"}},
        {"3", 3, "[faults]\r\ngetcount=ff43\r\n", CANNOT_CONNECT + "(ff43)",
         {"open port=1 speed=3 model=3 -> 0", "getcurrent -> 0", "getcount -> ff43", "close -> 0"}},
        // A settings file naming no camera family opens nothing and is left as it is.
        {"7", 3, "", CANNOT_CONNECT + "(fd01)", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        writeSettings(c.file, "1", "3");
        if (c.family) cameras.makeCameraWithPictures(1, c.family, {c.family == 3 ? "a.jpg" : "a.k4i"}, c.ini);
        g_settings = {};
        enable();
        // A choice that fails is forgotten: the option page shows the file again.
        if (c.family == 0) choose(IDC_PORT, 2);
        command(IDC_CAMERA);
        EXPECT_EQ(std::vector<std::string>{c.box}, boxTexts());
        EXPECT_EQ("option offline", page());
        EXPECT_EQ(std::string(c.file) + ",1,3", settingsFile());
        EXPECT_EQ("COM1", choice(IDC_PORT));
        if (c.family) EXPECT_EQ(c.calls, cameras.log(1));
        closeSource();
        removeTree(cameras.port(1));
    }
}

// ---- Window life ----------------------------------------------------------------------------

TEST_F(CameraWindow, AWindowOpensOnTheOptionPageOfTheConnectionItFinds)
{
    // CANCEL whose close fails leaves the link open; the application enables the source again
    // instead of closing it.
    connect(3, 2, "[faults]\r\nclose=ff50\r\n");
    command(IDCANCEL);
    EXPECT_EQ(std::vector<TW_UINT16>{MSG_CLOSEDSREQ}, notifications());
    session.disable();
    enable();
    EXPECT_EQ("option online", page());
    cameraTab();
    EXPECT_EQ("camera online", page());
    command(IDC_NEXT);
    EXPECT_EQ("2 / 2", numbers());

    // After the source was closed on the camera page, the next window starts offline.
    cameras.writeIni(1, "[camera]\r\nfamily=3\r\n");
    closeSource();
    enable();
    EXPECT_EQ("option offline", page());
    EXPECT_EQ("LX-3 / MLX-300, COM1, 19200bps", choices());
}

TEST_F(CameraWindow, TabHeadersOnlySwitchToTheOtherPage)
{
    enable();
    // Outside both headers, on the option header, a double click: nothing; then the corners.
    const POINT clicks[] = {{98, 27}, {130, 19}, {130, 35}, {242, 27}, {200, 27}, {0, 0}, {99, 20}, {169, 34}, {241, 34}};
    const char* const shown[] = {"option", "option", "option", "option", "option", "option", "camera", "camera", "option"};
    for (size_t i = 0; i < 9; ++i) {
        if (i == 5) SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(130, 27));
        else click(clicks[i].x, clicks[i].y);
        EXPECT_EQ(std::string(shown[i]) + " offline", page()) << clicks[i].x << "," << clicks[i].y;
    }
}

TEST_F(CameraWindow, EveryWayOutClosesTheLinkAndReleasesTheWindowsFonts)
{
    enum Way { CANCEL, CLOSE_BOX, CLOSE_SOURCE, DISABLE_THEN_CLOSE };
    const size_t windowsBefore = threadWindows();
    for (int round = 0; round < 20; ++round) {
        const Way way = static_cast<Way>(round % 4);
        SCOPED_TRACE(round);
        connect(3, 1);
        const WindowFonts& f = g_cameraWindow.fonts;
        const KeptBitmaps& b = g_cameraWindow.bitmaps;
        const std::vector<HGDIOBJ> objects = {f.control, f.grid, f.label, f.model, f.browser, b.clear, b.clearPressed,
            b.selectAll, b.selectAllPressed, b.camera, b.cameraPressed, b.select, b.selectPressed};
        for (HGDIOBJ object : objects) ASSERT_NE(0u, GetObjectType(object));
        if (way == CANCEL) command(IDCANCEL);
        if (way == CLOSE_BOX) SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (way == CLOSE_SOURCE) closeSource();
        if (way == DISABLE_THEN_CLOSE) {
            session.disable();
            EXPECT_FALSE(IsWindowVisible(window));
            closeSource();
        }
        const bool userClosed = way == CANCEL || way == CLOSE_BOX;
        EXPECT_EQ(userClosed ? std::vector<TW_UINT16>{MSG_CLOSEDSREQ} : std::vector<TW_UINT16>{}, notifications());
        if (userClosed) EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ("close -> 0", cameras.log(1).back());
        for (HGDIOBJ object : objects) EXPECT_EQ(0u, GetObjectType(object)) << "a font or bitmap of the gone window";
        if (g_source.state != STATE_DSM_OPEN) closeSource();
        const std::vector<std::string> calls = cameras.log(1);
        EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "close -> 0")) << "closed once";
        EXPECT_EQ(windowsBefore, threadWindows());
        window = nullptr;
        removeTree(cameras.port(1));
    }
}

TEST_F(CameraWindow, FileBrowserStandsInForTheCameraWindowUntilItCloses)
{
    enable();
    command(IDC_DISK);
    HWND browser = g_fileBrowserWindow;
    char className[32] = "";
    GetClassNameA(browser, className, sizeof className);
    EXPECT_STREQ("FILEMAINWINDOW", className);
    RECT outer{};
    GetWindowRect(browser, &outer);
    EXPECT_EQ(608, outer.right - outer.left);
    EXPECT_EQ(448, outer.bottom - outer.top);
    EXPECT_TRUE(IsWindowVisible(browser));
    EXPECT_FALSE(IsWindowVisible(window));
    SendMessageA(browser, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ("option offline", page());
}

// ---- Camera page commands -------------------------------------------------------------------

TEST_F(CameraWindow, SteppingAndSelectingThenOkAnnouncesTheSelectionInOrder)
{
    connect(3, 3);
    command(IDC_PREV);
    EXPECT_EQ("3 / 3", numbers());
    command(IDC_NEXT);
    EXPECT_EQ("1 / 3", numbers());
    command(IDC_SELECT);  // selects 1 and moves on
    command(IDC_SELECT);  // selects 2 and moves on
    EXPECT_EQ("3 / 3", numbers());
    command(IDC_PREV);
    command(IDC_SELECT);  // deselects 2 and stays
    EXPECT_EQ("2 / 3", numbers());
    command(IDC_NEXT);
    command(IDC_SELECT);  // selects 3, moves on to 1
    EXPECT_EQ("1 / 3", numbers());
    EXPECT_TRUE(notifications().empty());

    command(IDC_OK);
    EXPECT_EQ(std::vector<TW_UINT16>{MSG_XFERREADY}, notifications());
    EXPECT_EQ(2, pending());
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    EXPECT_EQ(ORIGIN_CAMERA_WINDOW, g_transfer.origin);
    EXPECT_EQ((std::vector<int>{1, 3}), handedOver());

    // The end of the last transfer reads the camera's position again.
    TW_PENDINGXFERS transfers{};
    session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &transfers);
    EXPECT_EQ("nextpicture -> 0", cameras.log(1).back());
    session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &transfers);
    EXPECT_EQ(0, transfers.Count);
    EXPECT_EQ((std::vector<std::string>{"getcurrent -> 0", "getcount -> 0"}), lastCalls(2));
}

TEST_F(CameraWindow, SelectAllCancelAllAndOkWithNothingSelected)
{
    connect(1, 5);
    command(IDC_SELECT);
    command(IDC_SELECTALL);
    command(IDC_OK);
    EXPECT_EQ(5, pending());
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), handedOver());

    TW_PENDINGXFERS reset{};
    session.control(DAT_PENDINGXFERS, MSG_RESET, &reset);
    notifications();
    command(IDC_SELECTALL);
    command(IDC_CANCELALL);
    command(IDC_OK);
    EXPECT_EQ(SELECT_IMAGES, boxTexts());
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(STATE_ENABLED, g_source.state);
    EXPECT_EQ("camera online", page());
}

TEST_F(CameraWindow, NumberBoxJumpsOnlyToAnotherPictureOfTheCamera)
{
    connect(3, 12);
    // What is typed, what the boxes then show, the camera's last call.
    struct Case { const char* typed; const char* shown; const char* call; };
    const Case cases[] = {
        {"7", "7 / 12", "gotopicture n=7 -> 0"},
        {"0", "7 / 12", "gotopicture n=7 -> 0"},
        {"13", "7 / 12", "gotopicture n=7 -> 0"},
        {"-1", "7 / 12", "gotopicture n=7 -> 0"},
        {"7", "7 / 12", "gotopicture n=7 -> 0"},
        {"", " / 12", "gotopicture n=7 -> 0"},
        {" 12", " 12 / 12", "gotopicture n=12 -> 0"},
        {"1x", "1x / 12", "gotopicture n=1 -> 0"},
    };
    for (const Case& c : cases) {
        type(c.typed);
        EXPECT_EQ(c.shown, numbers()) << c.typed;
        EXPECT_EQ(c.call, cameras.log(1).back()) << c.typed;
    }
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(CameraWindow, MediumRadiosSwitchOnlyLx2CamerasAndEmptyTheSelection)
{
    struct Case { int family; const char* ini; const char* afterMemory; const char* afterCard; const char* lastCall; };
    const Case cases[] = {
        {2, "", "1 / 2", "1 / 4", "setmedium medium=1 -> 0"},
        {2, "[camera]\r\nswitchable=0\r\n", "3 / 4", "3 / 4", "setmedium medium=1 -> 0"},
        {3, "", "3 / 4", "3 / 4", "nextpicture -> 0"},
        {1, "", "3 / 4", "3 / 4", "nextpicture -> 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        cameras.addFile(1, "internal\\I1.k4i", "one");
        cameras.addFile(1, "internal\\I2.k4i", "two");
        connect(c.family, 4, c.ini);
        command(IDC_SELECT);
        command(IDC_NEXT);
        command(IDC_MEMORY);
        EXPECT_EQ(c.afterMemory, numbers());
        command(IDC_CARD);
        EXPECT_EQ(c.afterCard, numbers());
        EXPECT_EQ(c.lastCall, cameras.log(1).back());
        command(IDC_OK);
        EXPECT_EQ(c.family == 2 ? SELECT_IMAGES : std::vector<std::string>{},
                  boxTexts());
        startOver();
    }
}

TEST_F(CameraWindow, AFailingCameraCommandFallsBackToTheOptionPageWithTheLinkClosed)
{
    struct Case { int family; const char* fault; int command; const char* failed; };
    const Case cases[] = {
        {3, "nextpicture=ff42", IDC_NEXT, "nextpicture -> ff42"},
        {1, "prevpicture=ff43", IDC_PREV, "prevpicture -> ff43"},
        {2, "nextpicture=ff44", IDC_SELECT, "nextpicture -> ff44"},
        {2, "setmedium=ff45", IDC_MEMORY, "setmedium medium=0 -> ff45"},
        {3, "gotopicture=ff46", IDC_NUMBER, "gotopicture n=2 -> ff46"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failed);
        connect(c.family, 3);
        command(IDC_PREV);
        command(IDC_SELECT);  // picture 3 selected, back on picture 1
        cameras.writeIni(1, "[camera]\r\nfamily=" + std::to_string(c.family) + "\r\n[faults]\r\n" + c.fault + "\r\n");
        if (c.command == IDC_NUMBER) type("2");
        else command(c.command);
        const std::string code = std::string(c.fault).substr(std::string(c.fault).find('=') + 1);
        EXPECT_EQ(std::vector<std::string>{COMMUNICATION + "(" + code + ")"}, boxTexts());
        EXPECT_EQ("option offline", page());
        EXPECT_EQ((std::vector<std::string>{c.failed, "close -> 0"}), lastCalls(2));
        command(IDC_CAMERA);  // connects again: the link was closed
        EXPECT_EQ("camera online", page());
        command(IDC_OK);
        EXPECT_EQ(SELECT_IMAGES, boxTexts()) << "the box emptied the list";
        startOver();
    }
}

TEST_F(CameraWindow, CameraWithoutACurrentPictureHasNothingToSelect)
{
    connect(3, 3, "[faults]\r\nnopicture=1\r\n");
    EXPECT_EQ("0 / 3", numbers());
    EXPECT_EQ("select all none prev next ok memory", enabledOnCameraPage());
    command(IDC_SELECT);
    EXPECT_EQ("getcount -> 0", cameras.log(1).back());
    command(IDC_OK);
    EXPECT_EQ(SELECT_IMAGES, boxTexts());
    command(IDC_SELECTALL);
    command(IDC_OK);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), handedOver());
}

}  // namespace
