// The source's two notifications as the source manager receives them, recorded by the stand-in
// TWAIN_32.DLL that sits beside this test (used instead of Wine's with twain_32=n).
#include "notify_fixture.h"

#include <vector>

namespace {

struct Notification {
    const char* name;
    void (*send)();
    TW_UINT16 message;
    int32_t   stateAfterwards;  // from state 400
};

const Notification kNotifications[] = {
    {"transfer ready", notifyTransferReady, MSG_XFERREADY, STATE_XFER_READY},
    {"close request", notifyCloseRequest, MSG_CLOSEDSREQ, STATE_OPEN},
};

class NotificationTest : public OpenedSourceTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fakeDsmOpen(&dsm)) << "TWAIN_32.DLL stand-in missing beside the test";
        OpenedSourceTest::SetUp();
        dsm.clear();
    }

    void TearDown() override
    {
        OpenedSourceTest::TearDown();
        fakeDsmRelease(&dsm);
    }

    std::vector<FakeDsmCall> calls()
    {
        std::vector<FakeDsmCall> recorded(dsm.callCount());
        for (TW_UINT32 i = 0; i < recorded.size(); ++i)
            EXPECT_TRUE(dsm.getCall(i, &recorded[i]));
        return recorded;
    }

    FakeDsm dsm;
};

TEST_F(NotificationTest, EachNotificationReachesTheManagerAsOneDatNullCall)
{
    for (const Notification& n : kNotifications) {
        SCOPED_TRACE(n.name);
        dsm.clear();
        g_source.state = STATE_OPEN;

        n.send();

        EXPECT_EQ(n.stateAfterwards, g_source.state);
        const std::vector<FakeDsmCall> recorded = calls();
        ASSERT_EQ(1u, recorded.size());
        const FakeDsmCall& call = recorded[0];
        // Origin: the identity received at MSG_OPENDS, with the manager's Id, which is how the
        // manager finds the source the notification comes from.
        ASSERT_TRUE(call.hasOrigin);
        EXPECT_EQ(kSourceIdFromManager, call.origin.Id);
        EXPECT_STREQ(kSourceProduct, call.origin.ProductName);
        EXPECT_STREQ(kManagersCopyMark, call.origin.Version.Info);
        // Destination: the application that opened the source.
        ASSERT_TRUE(call.hasDestination);
        EXPECT_EQ(kApplicationId, call.destination.Id);
        EXPECT_STREQ(kApplicationName, call.destination.ProductName);
        EXPECT_EQ(DG_CONTROL, call.dg);
        EXPECT_EQ(DAT_NULL, call.dat);
        EXPECT_EQ(n.message, call.msg);
        EXPECT_EQ(nullptr, call.data);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(NotificationTest, TransferReadyEntersState600FromEveryStateBeforeTheManagerHearsOfIt)
{
    for (int32_t from : {STATE_OPEN, STATE_ENABLED, STATE_XFER_READY}) {
        SCOPED_TRACE(from);
        g_source.state = from;
        notifyTransferReady();
        EXPECT_EQ(STATE_XFER_READY, g_source.state);
    }
    EXPECT_EQ(3u, dsm.callCount());
}

TEST_F(NotificationTest, TheManagersAnswerChangesNothing)
{
    dsm.setResult(TWRC_FAILURE);
    notifyTransferReady();
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    notifyCloseRequest();
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    EXPECT_EQ(2u, dsm.callCount());
    EXPECT_TRUE(boxes.boxes().empty());
    // The source goes on answering as usual after a refused notification.
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_SUCCESS, DS_Entry(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(STATE_ENABLED, g_source.state);
}

// Takes every message from this thread's queue, dispatching it as a message loop would, and
// counts the WM_NULLs addressed to `window` (null: to the thread itself).
int wakeUpsFor(HWND window)
{
    int count = 0;
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_NULL && msg.hwnd == window)
            ++count;
        DispatchMessageA(&msg);
    }
    return count;
}

// An application that waits in GetMessage hears of a notification only when something turns its
// loop: after each one, its window from MSG_ENABLEDS gets a WM_NULL, or its thread when it gave no
// window or one of another thread (a console application hands over the desktop window).
TEST_F(NotificationTest, EachNotificationWakesTheApplicationsMessageLoop)
{
    HWND appWindow = CreateWindowA("STATIC", "app", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                   nullptr);
    ASSERT_NE(nullptr, appWindow);
    const struct {
        const char* name;
        HWND        parent;
        HWND        woken;  // null: the thread
    } kParents[] = {
        {"application window", appWindow, appWindow},
        {"no window", nullptr, nullptr},
        {"desktop window", GetDesktopWindow(), nullptr},
    };
    for (const auto& p : kParents) {
        SCOPED_TRACE(p.name);
        TW_USERINTERFACE ui{TRUE, FALSE, p.parent};
        ASSERT_EQ(TWRC_SUCCESS, DS_Entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        wakeUpsFor(p.woken);
        for (const Notification& n : kNotifications) {
            SCOPED_TRACE(n.name);
            n.send();
            EXPECT_EQ(1, wakeUpsFor(p.woken));
        }
        ASSERT_EQ(TWRC_SUCCESS, DS_Entry(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    }
    EXPECT_EQ(6u, dsm.callCount());
    DestroyWindow(appWindow);
}

// A notification goes to the manager that loaded the source: the 2.x manager TWAINDSM.DLL where the
// process has it (alone or beside a 1.x TWAIN_32.DLL), and nothing else is loaded for it.
TEST_F(NotificationTest, TheManagerInTheProcessHearsTheNotificationTheTwoXManagerFirst)
{
    FakeDsm twoX;
    ASSERT_TRUE(fakeDsmOpen(&twoX, "TWAINDSM.DLL")) << "TWAINDSM.DLL stand-in missing beside the test";
    twoX.clear();
    notifyTransferReady();
    EXPECT_EQ(1u, twoX.callCount());
    EXPECT_EQ(0u, dsm.callCount()) << "both managers are loaded: the 2.x one is the source's";

    fakeDsmRelease(&dsm);
    const long attachesBefore = managerAttachCount();
    notifyCloseRequest();
    ASSERT_EQ(2u, twoX.callCount());
    FakeDsmCall call{};
    ASSERT_TRUE(twoX.getCall(1, &call));
    EXPECT_EQ(MSG_CLOSEDSREQ, call.msg);
    EXPECT_EQ(kSourceIdFromManager, call.origin.Id);
    EXPECT_EQ(attachesBefore, managerAttachCount()) << "a manager library was loaded besides the one in the process";

    fakeDsmRelease(&twoX);
    EXPECT_EQ(nullptr, GetModuleHandleA("TWAINDSM.DLL")) << "the source kept a reference";
}

// The source holds the manager's library only for the moment of each notification: once the test
// gives up its own reference, nothing keeps the library loaded, and every notification loads it
// afresh and frees it again.
TEST_F(NotificationTest, TheManagerLibraryIsLoadedOnlyAroundEachNotification)
{
    notifyCloseRequest();
    ASSERT_EQ(1u, dsm.callCount());
    fakeDsmRelease(&dsm);
    EXPECT_EQ(nullptr, GetModuleHandleA("TWAIN_32.DLL")) << "the source kept a reference";

    const long attachesBefore = managerAttachCount();
    notifyTransferReady();
    EXPECT_EQ(attachesBefore + 1, managerAttachCount());
    EXPECT_EQ(nullptr, GetModuleHandleA("TWAIN_32.DLL"));
    notifyCloseRequest();
    EXPECT_EQ(attachesBefore + 2, managerAttachCount());
    EXPECT_EQ(nullptr, GetModuleHandleA("TWAIN_32.DLL"));
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
}

}  // namespace
