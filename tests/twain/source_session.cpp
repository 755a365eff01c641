#include "source_session.h"

#include "camera_window/picture_list.h"
#include "file_browser/directory_scan.h"
#include "twain/source_lifetime.h"
#include "twain/transfer_cursor.h"

#include <cstring>

void SourceTest::SetUpTestSuite()
{
    static bool attached = false;
    if (!attached) sourceAttach(GetModuleHandleA(nullptr));
    attached = true;
}

void SourceTest::SetUp()
{
    ASSERT_EQ(STATE_DSM_OPEN, g_source.state);
    g_source.conditionCode = ConditionCode::Success;
    g_source.parentWindow = nullptr;
    pendingEnd();
    g_transfer.imageInfoMarker = 0;
    g_browserDirectory[0] = '\0';
    g_transfer.picture = PictureFacts{};
}

void SourceTest::TearDown()
{
    if (g_source.state != STATE_DSM_OPEN) {
        g_source.state = STATE_OPEN;
        TW_CAPABILITY mech = {ICAP_XFERMECH, 0, nullptr};
        if (session.control(DAT_CAPABILITY, MSG_RESET, &mech) == TWRC_SUCCESS) GlobalFree(mech.hContainer);
        EXPECT_EQ(TWRC_SUCCESS, session.close());
    }
    pictureListEmpty();
}
