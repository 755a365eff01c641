// The picture list of selected camera pictures.
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera_window/picture_list.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class PictureList : public ::testing::Test {
protected:
    void SetUp() override
    {
        pictureListEmpty();
        g_settings.modelNumber = 2;
        g_camera.pictureCount = 9;
    }
    void TearDown() override
    {
        pictureListEmpty();
        g_camera = CameraPosition{};
        g_settings = CameraSettings{};
    }
    static void select(uint16_t number)
    {
        g_camera.currentPicture = number;
        ASSERT_TRUE(pictureListAppendCurrent());
    }
    static std::vector<uint16_t> drain()
    {
        std::vector<uint16_t> numbers;
        while (uint16_t n = pictureListTakeFirst()) numbers.push_back(n);
        return numbers;
    }
};

TEST_F(PictureList, RemovingKeepsTheOrderOfTheOthers)
{
    select(1);
    select(2);
    g_camera.currentPicture = 2;
    pictureListRemoveCurrent();
    select(3);
    EXPECT_EQ(2, pictureListCount());
    EXPECT_EQ((std::vector<uint16_t>{1, 3}), drain());
}

TEST_F(PictureList, FindTellsEmptySelectedAndNotSelected)
{
    g_camera.currentPicture = 4;
    EXPECT_EQ(PICTURE_LIST_EMPTY, pictureListFindCurrent());
    select(4);
    EXPECT_EQ(PICTURE_SELECTED, pictureListFindCurrent());
    g_camera.currentPicture = 5;
    EXPECT_EQ(PICTURE_NOT_SELECTED, pictureListFindCurrent());
    g_camera.currentPicture = 4;
    pictureListRemoveCurrent();
    EXPECT_EQ(PICTURE_LIST_EMPTY, pictureListFindCurrent());
}

TEST_F(PictureList, AppendAllCountsFromOne)
{
    g_camera.pictureCount = 5;
    ASSERT_TRUE(pictureListAppendAll());
    EXPECT_EQ((std::vector<uint16_t>{1, 2, 3, 4, 5}), drain());
    g_camera.pictureCount = 0;
    ASSERT_TRUE(pictureListAppendAll());
    select(1);
    EXPECT_EQ(0, pictureListCount());
}

TEST_F(PictureList, LX3CountsPicturesInSixteenBits)
{
    g_settings.modelNumber = 3;
    g_camera.pictureCount = 0x10003;
    ASSERT_TRUE(pictureListAppendAll());
    EXPECT_EQ((std::vector<uint16_t>{1, 2, 3}), drain());
}

TEST_F(PictureList, TakeFirstAndDuplicates)
{
    EXPECT_EQ(0, pictureListTakeFirst());
    select(4);
    select(7);
    select(4);
    EXPECT_EQ(2, pictureListCount());
    EXPECT_EQ(4, pictureListTakeFirst());
    EXPECT_EQ((std::vector<uint16_t>{7}), drain());
}

}  // namespace
