// Notifications when the source manager cannot be reached: they are dropped without a word and
// the transfer-ready state change still happens. Built twice, each in a folder of its own:
//  - with no TWAIN_32.DLL reachable at all (Wine's own is switched off for this test);
//  - beside a TWAIN_32.DLL stand-in that has no DSM_Entry.
#include "notify_fixture.h"

namespace {

using NotificationDroppedTest = OpenedSourceTest;

#ifdef MANAGER_WITHOUT_ENTRY
// The library is there, so the source loads it; it must find no entry point, call nothing, and
// release the library again.
TEST_F(NotificationDroppedTest, ALibraryWithoutDsmEntryIsLoadedAndReleasedWithoutACall)
{
    HMODULE manager = LoadLibraryA("TWAIN_32.DLL");
    ASSERT_NE(nullptr, manager) << "the stand-in without DSM_Entry must sit beside this test";
    ASSERT_EQ(nullptr, GetProcAddress(manager, "DSM_Entry"));
    FreeLibrary(manager);
    ASSERT_EQ(nullptr, GetModuleHandleA("TWAIN_32.DLL"));

    const long attachesBefore = managerAttachCount();
    notifyTransferReady();
    EXPECT_EQ(attachesBefore + 1, managerAttachCount()) << "the source did not try the library";
    EXPECT_EQ(nullptr, GetModuleHandleA("TWAIN_32.DLL")) << "the source kept the library loaded";
    EXPECT_EQ(STATE_XFER_READY, g_source.state);

    notifyCloseRequest();
    EXPECT_EQ(attachesBefore + 2, managerAttachCount());
    EXPECT_EQ(nullptr, GetModuleHandleA("TWAIN_32.DLL"));
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    EXPECT_TRUE(boxes.boxes().empty());
}
#else
TEST_F(NotificationDroppedTest, NoManagerLibraryDropsBothNotificationsSilently)
{
    // The precondition that makes this test mean something: nothing named TWAIN_32.DLL loads here.
    HMODULE manager = LoadLibraryA("TWAIN_32.DLL");
    if (manager)
        FreeLibrary(manager);
    ASSERT_EQ(nullptr, manager) << "a TWAIN_32.DLL is reachable; the test runs in the wrong setting";

    notifyTransferReady();
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    notifyCloseRequest();
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    EXPECT_TRUE(boxes.boxes().empty());

    // The source goes on as if the manager had been told.
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_SUCCESS, DS_Entry(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(STATE_ENABLED, g_source.state);
}
#endif

}  // namespace
