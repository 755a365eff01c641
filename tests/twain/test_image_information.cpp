// Image information and layout, as far as they depend on the state and the decoded header.
#include "source_session.h"
#include "message_box_recorder.h"

#include "twain/capabilities.h"
#include "twain/notifications.h"

namespace {

class ImageInformation : public SourceTest {
protected:
    void SetUp() override
    {
        SourceTest::SetUp();
        ASSERT_EQ(TWRC_SUCCESS, session.open());
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    }
    void announce(int16_t pictures)
    {
        pendingAnnounce(pictures);
        g_transfer.imageInfoMarker = 0;
        notifyTransferReady();
    }
};

TEST_F(ImageInformation, OncePerPendingImage)
{
    MessageBoxRecorder boxes;
    TW_IMAGEINFO info = {};
    EXPECT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());

    announce(2);
    ASSERT_EQ(TWRC_SUCCESS, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(TWCC_LOWMEMORY, session.conditionCode());
    EXPECT_EQ("Twain error.\nGeneral failure in transfer.  Low Memory Condition encountered, free up some memory and "
              "try again.(2)",
              boxes.boxes().back().text);
    TW_PENDINGXFERS pending = {};
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(TWRC_SUCCESS, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
}

TEST_F(ImageInformation, NativeTransferKnowsNoSizeAndNoResolutionWithoutOne)
{
    announce(1);
    g_transfer.picture.width = 640;
    g_transfer.picture.height = 480;
    TW_IMAGEINFO info = {};
    ASSERT_EQ(TWRC_SUCCESS, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(-1, info.ImageWidth);
    EXPECT_EQ(-1, info.ImageLength);
    EXPECT_EQ(-1, info.XResolution.Whole);
    EXPECT_EQ(0, info.XResolution.Frac);
    EXPECT_EQ(-1, info.YResolution.Whole);
    EXPECT_EQ(3, info.SamplesPerPixel);
    EXPECT_EQ(8, info.BitsPerSample[2]);
    EXPECT_EQ(0, info.BitsPerSample[3]);
    EXPECT_EQ(24, info.BitsPerPixel);
    EXPECT_EQ(TWPT_RGB, info.PixelType);
    EXPECT_EQ(TWCP_NONE, info.Compression);
    EXPECT_EQ(FALSE, info.Planar);
}

TEST_F(ImageInformation, LayoutAnswersOnlyForAnAcquiredMemoryPicture)
{
    MessageBoxRecorder boxes;
    TW_IMAGELAYOUT layout = {};
    EXPECT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout));
    EXPECT_EQ(TWCC_BADPROTOCOL, session.conditionCode());
    EXPECT_EQ(1u, layout.DocumentNumber);
    EXPECT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(TWRC_SUCCESS, session.call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &layout));
    EXPECT_EQ(TWCC_SUCCESS, session.conditionCode());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(TWRC_FAILURE, session.call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_QUERYSUPPORT, &layout));
    EXPECT_EQ("Twain error.\nGeneral failure in DAT_IMAGEINFO.  Bad protocol error.(9)", boxes.boxes().at(0).text);
}

}  // namespace
