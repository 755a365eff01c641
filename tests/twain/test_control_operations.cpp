// Opening, enabling, disabling and closing with their state checks; status, pending
// transfers, memory transfer set-up and transfer group; the camera window's lifetime.
#include "source_session.h"
#include "message_box_recorder.h"

#include "twain/capabilities.h"
#include "twain/notifications.h"

#include <string>
#include <vector>

namespace {

std::string twainText(const char* operation, const char* condition, const char* code)
{
    return std::string("Twain error.\n") + operation + condition + code;
}

const char SEQUENCE[] = "DG DAT MSG is out of expected sequence.";
const char PROTOCOL[] = "Bad protocol error.";

// Camera windows of this test's thread only: tests running in parallel show theirs on the same desktop.
BOOL CALLBACK collectCameraWindow(HWND window, LPARAM list)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "TWMAINWINDOW") == 0) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> cameraWindows()
{
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), collectCameraWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

int countCameraWindows()
{
    return static_cast<int>(cameraWindows().size());
}

TEST_F(SourceTest, OpenAndCloseOutOfSequenceAreReported)
{
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, session.close());
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    TW_IDENTITY before = g_source.sourceIdentity;
    EXPECT_EQ(TWRC_FAILURE, session.open());
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    EXPECT_EQ(before.Id, g_source.sourceIdentity.Id);
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_IDENTITY, MSG_SET, &before));
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());

    ASSERT_EQ(3u, boxes.boxes().size());
    EXPECT_EQ(twainText("General failure in MSG_CLOSEDS.  ", SEQUENCE, "(b)"), boxes.boxes()[0].text);
    EXPECT_EQ(twainText("General failure in MSG_OPENDS.  ", SEQUENCE, "(b)"), boxes.boxes()[1].text);
    EXPECT_EQ(twainText("General failure in DAT_IDENTITY.  ", PROTOCOL, "(9)"), boxes.boxes()[2].text);
    for (const RecordedBox& box : boxes.boxes()) {
        EXPECT_EQ("MELVO DIGITAL CAMERA ERROR", box.caption);
        EXPECT_TRUE(box.exclamationIcon);
    }

    // After closing, another application may open the source.
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    EXPECT_EQ(0u, g_source.appIdentity.Id);
    session.app.Id = APP_ID + 5;
    EXPECT_EQ(TWRC_SUCCESS, session.open());
}

TEST_F(SourceTest, EnableShowsTheCameraWindowWhateverShowUISays)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    ASSERT_EQ(TWRC_CHECKSTATUS, session.enable(false));
    EXPECT_EQ(STATE_ENABLED, g_source.state);

    ASSERT_EQ(1, countCameraWindows());
    HWND window = cameraWindows()[0];
    EXPECT_EQ(window, g_cameraWindow.window);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("MELVO DIGITAL CAMERA", title);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(384, frame.right - frame.left);
    EXPECT_EQ(308, frame.bottom - frame.top);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(WS_CAPTION | WS_SYSMENU, style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX));
    // No application window: the camera window stays on top.
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(SourceTest, EnableWithAParentIsOwnedAndNotTopMost)
{
    HWND app = CreateWindowA("STATIC", "app", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true, app));
    EXPECT_EQ(app, GetWindow(g_cameraWindow.window, GW_OWNER));
    EXPECT_FALSE(GetWindowLongA(g_cameraWindow.window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Errors from now on belong to the application's window.
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, session.enable(true, app));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(twainText("General failure in MSG_ENABLEDS.  ", SEQUENCE, "(b)"), boxes.boxes()[0].text);
    EXPECT_EQ(app, boxes.boxes()[0].owner);
    EXPECT_EQ(1, countCameraWindows());

    ASSERT_EQ(TWRC_SUCCESS, session.disable());
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    DestroyWindow(app);
}

TEST_F(SourceTest, DisableTakesTheUserInterfaceDownWhateverShowUISays)
{
    HWND app = CreateWindowA("STATIC", "app", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, session.disable());
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    EXPECT_EQ(twainText("General failure in MSG_DISABLEDS.  ", SEQUENCE, "(b)"), boxes.boxes().at(0).text);

    for (bool showUI : {true, false}) {
        SCOPED_TRACE(showUI);
        ASSERT_EQ(showUI ? TWRC_SUCCESS : TWRC_CHECKSTATUS, session.enable(showUI, app));
        HWND camera = g_cameraWindow.window;
        ASSERT_TRUE(IsWindowVisible(camera));
        ASSERT_EQ(TWRC_SUCCESS, session.disable(showUI));
        EXPECT_EQ(STATE_OPEN, g_source.state);
        EXPECT_FALSE(IsWindowVisible(camera));
        EXPECT_EQ(app, GetFocus());

        // The next enable brings the same window back, as the user left it.
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true, app));
        EXPECT_EQ(camera, g_cameraWindow.window);
        EXPECT_TRUE(IsWindowVisible(camera));
        EXPECT_EQ(camera, GetFocus());
        ASSERT_EQ(TWRC_SUCCESS, session.disable());
    }
    // While the user picks files the browser is up and the camera window hidden: disable hides the
    // browser, and the next enable returns to it, not to the camera window.
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true, app));
    HWND browser = CreateWindowA("FILEMAINWINDOW", "MELVO DIGITAL CAMERA", WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 608, 448, app, nullptr, g_source.moduleInstance, nullptr);
    g_fileBrowserWindow = browser;
    ShowWindow(browser, SW_SHOWNORMAL);
    ShowWindow(g_cameraWindow.window, SW_HIDE);
    ASSERT_EQ(TWRC_SUCCESS, session.disable());
    EXPECT_FALSE(IsWindowVisible(browser));
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true, app));
    EXPECT_TRUE(IsWindowVisible(browser));
    EXPECT_FALSE(IsWindowVisible(g_cameraWindow.window));
    EXPECT_EQ(browser, GetFocus());
    ASSERT_EQ(TWRC_SUCCESS, session.disable());

    // Enabled again without an application window, the kept window is nobody's and stays on top.
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true, nullptr));
    EXPECT_EQ(nullptr, GetWindow(g_cameraWindow.window, GW_OWNER));
    EXPECT_TRUE(GetWindowLongA(g_cameraWindow.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(1u, boxes.boxes().size());
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    EXPECT_FALSE(IsWindow(browser));
    DestroyWindow(app);
}

TEST_F(SourceTest, ThereIsNeverMoreThanOneCameraWindowAndNoneOutlivesClose)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    for (bool showUI : {true, false, true}) {
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
        EXPECT_EQ(1, countCameraWindows());
        ASSERT_EQ(TWRC_SUCCESS, session.disable(showUI));
        EXPECT_EQ(1, countCameraWindows());
    }
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    EXPECT_EQ(0, countCameraWindows());
    EXPECT_EQ(nullptr, g_cameraWindow.window);
}

TEST_F(SourceTest, CloseAfterTheUserClosedTheWindow)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    SendMessageA(g_cameraWindow.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, countCameraWindows());
    EXPECT_EQ(nullptr, g_cameraWindow.window);
    ASSERT_EQ(TWRC_SUCCESS, session.disable());
    ASSERT_EQ(TWRC_SUCCESS, session.close());
    EXPECT_EQ(STATE_DSM_OPEN, g_source.state);
}

TEST_F(SourceTest, StatusIsReadOnceAndUnknownMessagesAreReported)
{
    MessageBoxRecorder boxes;
    ASSERT_EQ(TWRC_FAILURE, session.enable(true));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    EXPECT_EQ(TWCC_SUCCESS, session.conditionCode());
    TW_STATUS status = {};
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_STATUS, MSG_SET, &status));
    EXPECT_EQ(twainText("General failure in DAT_STATUS.  ", PROTOCOL, "(9)"), boxes.boxes().back().text);
    TW_USERINTERFACE ui = {TRUE, FALSE, nullptr};
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_USERINTERFACE, MSG_GET, &ui));
    EXPECT_EQ(twainText("General failure in DAT_USERINTERFACE.  ", PROTOCOL, "(9)"), boxes.boxes().back().text);
}

TEST_F(SourceTest, PendingTransfersCountDownButNeverChangeTheState)
{
    TW_PENDINGXFERS pending = {0xEEEE, 0xDEADBEEF};
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_PENDINGXFERS, MSG_GET, &pending));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());

    ASSERT_EQ(TWRC_SUCCESS, session.open());
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    EXPECT_EQ(twainText("General failure in DAT_PENDINGXFER.  ", SEQUENCE, "(b)"), boxes.boxes().back().text);

    notifyTransferReady();
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    pendingAnnounce(2);
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_GET, &pending));
    EXPECT_EQ(2, pending.Count);
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(1, pending.Count);
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(0, pending.Count);
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(0, pending.Count);
    EXPECT_EQ(0, pendingCount());
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    EXPECT_EQ(0xDEADBEEF, pending.Reserved);

    pendingAnnounce(3);
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(0, pending.Count);
    EXPECT_EQ(0, pendingCount());
    EXPECT_EQ(STATE_ENABLED, g_source.state);
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_PENDINGXFERS, MSG_SET, &pending));
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());
}

// A bitmap partly delivered by memory transfer when the transfers are reset or the source
// closed: it must be let go, not delivered to the next transfer nor leaked.
TEST_F(SourceTest, ResetAndCloseReleaseAHeldTransferBitmap)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    for (TW_UINT16 ending : {MSG_RESET, MSG_CLOSEDS}) {
        notifyTransferReady();
        HGLOBAL bitmap = GlobalAlloc(GMEM_MOVEABLE, 40 + 16 * 16 * 3);
        g_transfer.heldBitmap = bitmap;
        g_transfer.nextRow = static_cast<BYTE*>(GlobalLock(bitmap)) + 40;
        g_transfer.bytesRemaining = 8 * 16 * 3;
        TW_PENDINGXFERS pending = {};
        if (ending == MSG_RESET) ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_RESET, &pending));
        else ASSERT_EQ(TWRC_SUCCESS, session.close());
        EXPECT_EQ(nullptr, g_transfer.heldBitmap);
        EXPECT_EQ(nullptr, g_transfer.nextRow);
        EXPECT_EQ(0u, GlobalFlags(bitmap) & GMEM_LOCKCOUNT) << "still locked after " << ending;
        EXPECT_EQ(GMEM_INVALID_HANDLE, GlobalFlags(bitmap)) << "not freed after " << ending;
    }
}

TEST_F(SourceTest, MemoryTransferSetUpFollowsTheMechanismAndTheImage)
{
    MessageBoxRecorder boxes;
    TW_SETUPMEMXFER setup = {};
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_SETUPMEMXFER, MSG_SET, &setup));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    EXPECT_EQ(twainText("General failure in DAT_SETUPMEMXFER, not supported.  ", SEQUENCE, "(b)"),
              boxes.boxes().back().text);

    ASSERT_EQ(TWRC_SUCCESS, session.open());
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_SETUPMEMXFER, MSG_SET, &setup));
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());

    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_SETUPMEMXFER, MSG_GET, &setup));
    EXPECT_EQ(TWON_DONTCARE32, setup.MinBufSize);
    EXPECT_EQ(TWON_DONTCARE32, setup.MaxBufSize);
    EXPECT_EQ(TWON_DONTCARE32, setup.Preferred);

    TW_CAPABILITY mech = {ICAP_XFERMECH, TWON_ONEVALUE, GlobalAlloc(GMEM_MOVEABLE, sizeof(TW_ONEVALUE))};
    *static_cast<TW_ONEVALUE*>(GlobalLock(mech.hContainer)) = {TWTY_UINT16, TWSX_MEMORY};
    GlobalUnlock(mech.hContainer);
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_CAPABILITY, MSG_SET, &mech));
    GlobalFree(mech.hContainer);

    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_SETUPMEMXFER, MSG_GET, &setup));
    EXPECT_EQ(36864u, setup.MinBufSize);
    EXPECT_EQ(TWON_DONTCARE32, setup.MaxBufSize);
    EXPECT_EQ(1327104u, setup.Preferred);
    g_transfer.picture.width = 641;
    g_transfer.picture.height = 479;
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_SETUPMEMXFER, MSG_GET, &setup));
    EXPECT_EQ(641u * 479u * 3u, setup.Preferred);
}

TEST_F(SourceTest, TransferGroupIsAlwaysImage)
{
    MessageBoxRecorder boxes;
    TW_UINT32 group = 0;
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_XFERGROUP, MSG_GET, &group));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    for (TW_UINT16 message : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET}) {
        group = 0;
        ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_XFERGROUP, message, &group));
        EXPECT_EQ(DG_IMAGE, group);
    }
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_XFERGROUP, MSG_SET, &group));
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());
    EXPECT_EQ(twainText("General failure in DAT_XFERGROUP, not supported.  ", PROTOCOL, "(9)"),
              boxes.boxes().back().text);
}

}  // namespace
