// The error box and the TWAIN failure report: exact texts, caption, icon, owner, and the
// picture list that every box empties.
#include "source_session.h"
#include "message_box_recorder.h"

#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera_window/error_box.h"
#include "camera_window/picture_list.h"
#include "twain/error_report.h"

namespace {

const char CAPTION[] = "MELVO DIGITAL CAMERA ERROR";

TEST(ErrorText, KindsCodesAndDetails)
{
    struct Case {
        uint16_t code;
        uint16_t kind;
        const char* detail;
        const char* expected;
    };
    const Case cases[] = {
        {0x1a5, 1, nullptr, "Cannot connect to the camera.\nPlease check the connection.(1a5)"},
        {0xff61, 2, nullptr, "Communication failure.\nPlease reset the camera.(ff61)"},
        {0, 5, nullptr, "Please select image(s)."},
        {0, 7, nullptr, "Insufficient memory. Please close other applications."},
        {3, 42, "ignored", "OTHER ERROR(3)"},
        {11, 99, "General failure in MSG_ENABLEDS.  DG DAT MSG is out of expected sequence.",
         "Twain error.\nGeneral failure in MSG_ENABLEDS.  DG DAT MSG is out of expected sequence.(b)"},
        {0xffff, 99, "", "Twain error.\n(ffff)"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, composeErrorText(c.code, c.kind, c.detail));
}

TEST(ConditionTexts, EveryCodeHasItsText)
{
    EXPECT_STREQ("Success message from detailed error request ??", conditionText(ConditionCode::Success));
    EXPECT_STREQ("Bummer error.", conditionText(ConditionCode::Bummer));
    EXPECT_STREQ("Low Memory Condition encountered, free up some memory and try again.",
                 conditionText(ConditionCode::LowMemory));
    EXPECT_STREQ("No Data Source found error.", conditionText(ConditionCode::NoDS));
    EXPECT_STREQ("Source is connected to max possible apps.", conditionText(ConditionCode::MaxConnections));
    EXPECT_STREQ("An operation error just occurred.", conditionText(ConditionCode::OperationError));
    EXPECT_STREQ("Bad capabilities error.", conditionText(ConditionCode::BadCap));
    EXPECT_STREQ("Bad protocol error.", conditionText(ConditionCode::BadProtocol));
    EXPECT_STREQ("Bad value error.", conditionText(ConditionCode::BadValue));
    EXPECT_STREQ("DG DAT MSG is out of expected sequence.", conditionText(ConditionCode::SeqError));
    for (uint16_t unknown : {7, 8, 12, 0xFFFF})
        EXPECT_STREQ("Unknown Error value in condition code.", conditionText(static_cast<ConditionCode>(unknown)));
}

TEST_F(SourceTest, FailureReportShowsTheComposedBoxOwnedByTheParent)
{
    HWND parent = CreateWindowA("STATIC", "app", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    g_source.parentWindow = parent;
    MessageBoxRecorder boxes;
    twainFailure("General failure in DAT_STATUS.  ", ConditionCode::Success);
    twainFailure("General failure in DAT_CAPS.  ", static_cast<ConditionCode>(12));
    ASSERT_EQ(2u, boxes.boxes().size());
    const RecordedBox& success = boxes.boxes()[0];
    EXPECT_EQ(CAPTION, success.caption);
    EXPECT_EQ("Twain error.\nGeneral failure in DAT_STATUS.  Success message from detailed error request ??",
              success.text);
    EXPECT_EQ(parent, success.owner);
    EXPECT_TRUE(success.exclamationIcon);
    EXPECT_TRUE(success.okOnly);
    EXPECT_EQ("Twain error.\nGeneral failure in DAT_CAPS.  Unknown Error value in condition code.(c)",
              boxes.boxes()[1].text);

    // A parent that has gone away does not swallow the box.
    DestroyWindow(parent);
    twainFailure("General failure in DAT_STATUS.  ", ConditionCode::BadProtocol);
    ASSERT_EQ(3u, boxes.boxes().size());
    EXPECT_EQ(nullptr, boxes.boxes()[2].owner);
    g_source.parentWindow = nullptr;
}

TEST_F(SourceTest, EveryBoxEmptiesThePictureList)
{
    g_settings.modelNumber = 1;
    g_camera.pictureCount = 4;
    ASSERT_TRUE(pictureListAppendAll());
    MessageBoxRecorder boxes;
    errorBox(nullptr, 0, ERROR_SELECT_IMAGES, nullptr);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Please select image(s).", boxes.boxes()[0].text);
    EXPECT_EQ(0, pictureListCount());
    g_camera = CameraPosition{};
    g_settings = CameraSettings{};
}

}  // namespace
