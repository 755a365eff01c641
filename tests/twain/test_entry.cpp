// DS_Entry as a whole: identity before opening, dispatch failures, the condition code's
// life, events, callers other than the open application, unsafe input.
#include "source_session.h"
#include "message_box_recorder.h"

#include "file_browser/directory_scan.h"
#include "twain/source_lifetime.h"

#include <cstring>
#include <string>

namespace {

TEST_F(SourceTest, IdentityBeforeOpenHasIdZeroAndTheDefaultStrings)
{
    sourceAttach(GetModuleHandleA(nullptr));  // as freshly loaded: earlier opens replaced the identity
    TW_IDENTITY identity;
    std::memset(&identity, 0xCC, sizeof identity);
    // Source managers ask with no meaningful origin while they enumerate.
    ASSERT_EQ(TWRC_SUCCESS, DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity));
    EXPECT_EQ(0u, identity.Id);
    EXPECT_EQ(1, identity.Version.MajorNum);
    EXPECT_EQ(0, identity.Version.MinorNum);
    EXPECT_EQ(TWLG_USA, identity.Version.Language);
    EXPECT_EQ(TWCY_USA, identity.Version.Country);
    EXPECT_STREQ("October, 1997", identity.Version.Info);
    EXPECT_EQ(1, identity.ProtocolMajor);
    EXPECT_EQ(6, identity.ProtocolMinor);
    EXPECT_EQ(DG_CONTROL | DG_IMAGE, identity.SupportedGroups);
    EXPECT_STREQ("TWAIN Working Group", identity.Manufacturer);
    EXPECT_STREQ("TWAIN", identity.ProductFamily);
    EXPECT_STREQ("MELVO DIGITAL CAMERA WIN32", identity.ProductName);
}

TEST_F(SourceTest, OpenTakesTheManagersIdentityWithItsId)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    TW_IDENTITY identity = {};
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_IDENTITY, MSG_GET, &identity));
    EXPECT_EQ(SOURCE_ID, identity.Id);
    EXPECT_EQ(APP_ID, g_source.appIdentity.Id);
}

TEST_F(SourceTest, UnsupportedTripletsFailWithBadProtocolAndNoBox)
{
    struct Case {
        TW_UINT32 dg;
        TW_UINT16 dat;
        TW_UINT16 msg;
    };
    const Case cases[] = {
        {DG_IMAGE, DAT_PALETTE8, MSG_GET},       {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET},
        {DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GET}, {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET},
        {4, DAT_CAPABILITY, MSG_GET},             {DG_CONTROL, DAT_PARENT, MSG_OPENDSM},
        {DG_IMAGE, 0x0199, MSG_GET},
    };
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    MessageBoxRecorder boxes;
    for (const Case& c : cases) {
        TW_UINT32 data[16] = {};
        EXPECT_EQ(TWRC_FAILURE, session.call(c.dg, c.dat, c.msg, data)) << c.dg << "/" << c.dat;
        EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode()) << c.dg << "/" << c.dat;
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// Messages TWAIN added after 1.6 are refused quietly; a 1.6 message the source does not answer
// keeps its box.
TEST_F(SourceTest, LaterMessagesFailQuietlyAndOldOnesKeepTheirBox)
{
    const struct {
        TW_UINT16 dat;
        TW_UINT16 msg;
        bool      box;
    } cases[] = {
        {DAT_CAPABILITY, MSG_GETHELP, false},          {DAT_CAPABILITY, MSG_GETLABEL, false},
        {DAT_CAPABILITY, MSG_GETLABELENUM, false},     {DAT_CAPABILITY, MSG_SETCONSTRAINT, false},
        {DAT_CAPABILITY, MSG_RESETALL, false},         {DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, false},
        {DAT_PENDINGXFERS, MSG_STOPFEEDER, false},     {DAT_CAPABILITY, MSG_GETFIRST, true},
        {DAT_USERINTERFACE, MSG_USERSELECT, true},     {DAT_PENDINGXFERS, MSG_SET, true},
    };
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dat << "/" << std::hex << c.msg);
        MessageBoxRecorder boxes;
        TW_UINT32 data[8] = {ICAP_XFERMECH, 0, 0, 0, 0, 0, 0, 0};
        EXPECT_EQ(TWRC_FAILURE, session.control(c.dat, c.msg, data));
        EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());
        EXPECT_EQ(c.box ? 1u : 0u, boxes.boxes().size());
    }
    // MSG_ENABLEDSUIONLY changed nothing: no window, still open.
    EXPECT_EQ(STATE_OPEN, g_source.state);
    EXPECT_EQ(nullptr, g_cameraWindow.window);
}

TEST_F(SourceTest, ConditionCodeLivesUntilTheNextCallOrStatus)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    TW_UINT32 data[4] = {};

    // A failure, then events: the failure is still there.
    ASSERT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_PALETTE8, MSG_GET, data));
    MSG message = {};
    TW_EVENT event = {&message, MSG_NULL};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TWRC_NOTDSEVENT, session.control(DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());
    // Status reads and resets it.
    EXPECT_EQ(TWCC_SUCCESS, session.conditionCode());

    // Any other call in between resets it first.
    ASSERT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_PALETTE8, MSG_GET, data));
    TW_UINT32 group = 0;
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_XFERGROUP, MSG_GET, &group));
    EXPECT_EQ(TWCC_SUCCESS, session.conditionCode());
}

TEST_F(SourceTest, EventsBeforeEnableAreNotTheSources)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    MSG message = {};
    TW_EVENT event = {&message, 0x1234};
    EXPECT_EQ(TWRC_NOTDSEVENT, session.control(DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(0x1234, event.TWMessage);
}

TEST_F(SourceTest, EventsForTheCameraWindowAreConsumed)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    MSG message = {g_cameraWindow.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10), 0, {0, 0}};
    TW_EVENT event = {&message, 0x1234};
    EXPECT_EQ(TWRC_DSEVENT, session.call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(MSG_NULL, event.TWMessage);

    // The application's own windows' messages are left to the application.
    MSG foreign = {GetDesktopWindow(), WM_MOUSEMOVE, 0, 0, 0, {0, 0}};
    event = {&foreign, 0x1234};
    EXPECT_EQ(TWRC_NOTDSEVENT, session.call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(0x1234, event.TWMessage);
}

TEST_F(SourceTest, OtherCallersChangeNothingWhileAnApplicationHoldsTheSource)
{
    ASSERT_EQ(TWRC_SUCCESS, session.open());
    TW_UINT32 data[4] = {};
    ASSERT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_PALETTE8, MSG_GET, data));

    TW_IDENTITY stranger = applicationIdentity(APP_ID + 1);
    MessageBoxRecorder boxes;
    TW_USERINTERFACE ui = {TRUE, FALSE, nullptr};
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(&stranger, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(&stranger, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr));
    // A null origin is a stranger too, and is never read.
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr));
    TW_STATUS status = {};
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(&stranger, DG_CONTROL, DAT_STATUS, MSG_GET, &status));

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(STATE_OPEN, g_source.state);
    EXPECT_EQ(nullptr, g_cameraWindow.window);
    // The application's own condition code survived the strangers' calls.
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());

    // Anybody may still ask for the identity.
    TW_IDENTITY identity = {};
    EXPECT_EQ(TWRC_SUCCESS, DS_Entry(&stranger, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity));
    EXPECT_EQ(SOURCE_ID, identity.Id);
}

TEST_F(SourceTest, MissingDataIsABadValueNeverADereference)
{
    MessageBoxRecorder boxes;
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());

    // Opening with no origin: there is no application identity to record.
    TW_IDENTITY source = {};
    source.Id = SOURCE_ID;
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(STATE_DSM_OPEN, g_source.state);

    ASSERT_EQ(TWRC_SUCCESS, session.open());
    const TW_UINT16 needData[][2] = {
        {DAT_USERINTERFACE, MSG_ENABLEDS}, {DAT_CAPABILITY, MSG_GET}, {DAT_STATUS, MSG_GET},
        {DAT_PENDINGXFERS, MSG_GET},       {DAT_SETUPMEMXFER, MSG_GET}, {DAT_XFERGROUP, MSG_GET},
        {DAT_EVENT, MSG_PROCESSEVENT},
    };
    for (const auto& triplet : needData) {
        EXPECT_EQ(TWRC_FAILURE, session.control(triplet[0], triplet[1], nullptr)) << triplet[0];
        EXPECT_EQ(TWCC_BADVALUE, session.conditionCode()) << triplet[0];
    }
    MSG* noMessage = nullptr;
    TW_EVENT event = {noMessage, 0};
    EXPECT_EQ(TWRC_FAILURE, session.control(DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, nullptr));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(STATE_OPEN, g_source.state);
}

TEST_F(SourceTest, EveryCallRestoresTheSavedDirectoryEvenARefusedOne)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string saved = std::string(temp) + "lx3tws32-saved-dir";
    CreateDirectoryA(saved.c_str(), nullptr);
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);

    ASSERT_EQ(TWRC_SUCCESS, session.open());
    lstrcpynA(g_browserDirectory, saved.c_str(), SAVED_DIRECTORY_SIZE);
    TW_IDENTITY stranger = applicationIdentity(APP_ID + 1);
    SetCurrentDirectoryA(temp);
    EXPECT_EQ(TWRC_FAILURE, DS_Entry(&stranger, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr));

    char now[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_EQ(0, lstrcmpiA(saved.c_str(), now)) << now;

    // A directory that has vanished is ignored and the call goes on.
    SetCurrentDirectoryA(before);
    RemoveDirectoryA(saved.c_str());
    TW_UINT32 group = 0;
    EXPECT_EQ(TWRC_SUCCESS, session.control(DAT_XFERGROUP, MSG_GET, &group));
    g_browserDirectory[0] = '\0';
}

}  // namespace
