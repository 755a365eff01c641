// OK in the file browser as the application sees it: the source opened and enabled through
// DS_Entry, the notifications recorded by the TWAIN_32.DLL stand-in beside the test, and the
// announced files acquired one by one with their pixels.
#include <gtest/gtest.h>

#include "browser_driver.h"
#include "fake_dsm.h"
#include "message_box_recorder.h"
#include "picture_tree.h"
#include "file_browser/directory_scan.h"
#include "file_browser/file_browser_window.h"
#include "source_session.h"
#include "win32/global_memory.h"
#include "twain/source_state.h"

namespace {

using Positions = std::vector<int>;

const COLORREF RED = RGB(220, 40, 40);
const COLORREF GREEN = RGB(40, 200, 40);
const COLORREF BLUE = RGB(40, 40, 220);
const COLORREF YELLOW = RGB(230, 230, 60);

// The colour in the middle of a decoded picture.
COLORREF centreColour(HGLOBAL bitmap)
{
    GlobalLockGuard<BYTE> block(bitmap);
    if (!block) return CLR_INVALID;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(block.get());
    const size_t stride = (header->biWidth * 3 + 3) & ~3;
    const BYTE* pixel = block.get() + header->biSize + stride * (header->biHeight / 2) + 3 * (header->biWidth / 2);
    return RGB(pixel[2], pixel[1], pixel[0]);
}

class Announcement : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fakeDsmOpen(&dsm)) << "TWAIN_32.DLL stand-in missing beside the test";
        ASSERT_EQ(TWRC_SUCCESS, session.open());
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
        tree.jpeg("a.jpg", RED);
        tree.jpeg("b.jpg", GREEN);
        tree.jpeg("c.jpg", BLUE);
        tree.directory("sub");
        tree.jpeg("sub\\b.jpg", YELLOW);
        tree.directory("empty");
        dsm.clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(TWRC_SUCCESS, session.close());
        fakeDsmRelease(&dsm);
    }

    TW_UINT16 call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) { return session.call(dg, dat, msg, data); }

    int transferReadyCount()
    {
        int count = 0;
        for (TW_UINT32 i = 0; i < dsm.callCount(); ++i) {
            FakeDsmCall recorded = {};
            EXPECT_TRUE(dsm.getCall(i, &recorded));
            if (recorded.dat == DAT_NULL && recorded.msg == MSG_XFERREADY) ++count;
        }
        return count;
    }

    TW_INT16 pendingCount()
    {
        TW_PENDINGXFERS pending = {};
        EXPECT_EQ(TWRC_SUCCESS, call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending));
        return pending.Count;
    }

    // The next announced picture as the application receives it: a native transfer, then the
    // end of the transfer. CLR_INVALID when no picture came.
    COLORREF transferColour()
    {
        TW_HANDLE handle = nullptr;
        if (call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) != TWRC_XFERDONE) return CLR_INVALID;
        HGLOBAL bitmap = handle;
        const COLORREF colour = centreColour(bitmap);
        GlobalFree(bitmap);
        TW_PENDINGXFERS pending = {};
        EXPECT_EQ(TWRC_SUCCESS, call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        return colour;
    }

    PictureTree tree;  // first: it attaches the source
    SourceSession session;
    FakeDsm dsm;
    MessageBoxRecorder boxes;
};

TEST_F(Announcement, OkWithNothingSelectedAsksForImagesAndAnnouncesNothing)
{
    BrowserDriver browser(tree.root());
    browser.pressButton(IDOK);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Please select image(s).", boxes.boxes()[0].text);
    EXPECT_EQ(browser.window(), boxes.boxes()[0].owner);
    EXPECT_EQ(0, transferReadyCount());
    EXPECT_EQ(STATE_ENABLED, g_source.state);
    EXPECT_EQ(ORIGIN_FILE_BROWSER, g_transfer.origin);
}

TEST_F(Announcement, OkAnnouncesTheSelectedFilesOfTheListedDirectoryEvenAfterADirectoryWasClicked)
{
    BrowserDriver browser(tree.root());
    browser.click(2);
    browser.click(3, MK_CONTROL);
    browser.clickEntry(static_cast<int>(pathDepth()) + 1);  // SUB, once: it is not entered
    browser.pressButton(IDOK);

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(1, transferReadyCount());
    EXPECT_EQ(STATE_XFER_READY, g_source.state);
    EXPECT_EQ(2, pendingCount());
    EXPECT_TRUE(IsWindow(browser.window())) << "the window stays open";
    EXPECT_TRUE(nearColour(GREEN, transferColour())) << "b.jpg of the listed directory, not of SUB";
    EXPECT_TRUE(nearColour(BLUE, transferColour()));
    EXPECT_EQ(0, pendingCount()) << "both pictures delivered";
    EXPECT_TRUE(selectedPositions(FILE_KIND_EXIF).empty());
}

// Only announced files are delivered: a file selected after OK is not acquired by a further
// transfer, stays selected, and arrives after the next OK.
TEST_F(Announcement, AFileSelectedAfterOkWaitsForTheNextOk)
{
    BrowserDriver browser(tree.root());
    browser.click(1);
    browser.click(2, MK_CONTROL);
    browser.pressButton(IDOK);
    browser.click(3, MK_CONTROL);
    EXPECT_TRUE(nearColour(RED, transferColour()));
    EXPECT_TRUE(nearColour(GREEN, transferColour()));
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(TWRC_CANCEL, call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
    EXPECT_EQ(nullptr, handle);
    EXPECT_EQ(Positions({3}), selectedPositions(FILE_KIND_EXIF)) << "c.jpg is still selected";
    for (const RecordedBox& box : boxes.boxes())
        EXPECT_NE("MELVO DIGITAL CAMERA ERROR", box.caption) << box.text;

    browser.pressButton(IDOK);
    EXPECT_EQ(2, transferReadyCount());
    EXPECT_EQ(1, pendingCount());
    EXPECT_TRUE(nearColour(BLUE, transferColour()));
}

TEST_F(Announcement, ADoubleClickAnnouncesTheClickedFileAndAnEmptyGridIgnoresIt)
{
    BrowserDriver browser(tree.root());
    browser.click(1);
    browser.doubleClickAt(BrowserDriver::cellPoint(3));
    EXPECT_EQ(1, transferReadyCount());
    EXPECT_EQ(1, pendingCount());
    EXPECT_TRUE(nearColour(BLUE, transferColour()));
    EXPECT_EQ(0, pendingCount());
    browser.doubleClickEntry(static_cast<int>(pathDepth()));  // EMPTY
    boxes.clear();  // the decode's progress dialog
    browser.doubleClickAt(BrowserDriver::cellPoint(1));
    for (const RecordedBox& box : boxes.boxes()) ADD_FAILURE() << "unexpected box: " << box.text;
    EXPECT_EQ(1, transferReadyCount());
    EXPECT_EQ(0, pendingCount());
}

TEST_F(Announcement, OkAnnouncesOnlyTheSelectedFilesOfTheTypeShown)
{
    tree.k4i("k.k4i", YELLOW);
    BrowserDriver browser(tree.root());
    browser.click(1);           // a.jpg
    browser.chooseFileType(1);  // K4I
    browser.click(1);           // k.k4i
    browser.pressButton(IDOK);
    EXPECT_EQ(1, pendingCount());
    EXPECT_EQ(FILE_KIND_K4I, g_transfer.fileKind);
    EXPECT_TRUE(nearColour(YELLOW, transferColour()));
    EXPECT_EQ(Positions({1}), selectedPositions(FILE_KIND_EXIF)) << "the Exif selection stays for later";
}

TEST_F(Announcement, ADamagedPictureFailsWithAFileReadErrorAndTheNextStillArrives)
{
    tree.damagedJpeg("bad.jpg");  // between b.jpg and c.jpg
    BrowserDriver browser(tree.root());
    EXPECT_TRUE(nearColour(RGB(64, 64, 64), browser.thumbnailColour(3), 2)) << "placeholder";
    browser.click(3);
    browser.click(4, MK_CONTROL);
    browser.pressButton(IDOK);
    ASSERT_EQ(2, pendingCount());

    TW_UINT32 handle = 0;
    EXPECT_EQ(TWRC_FAILURE, call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
    EXPECT_EQ(0u, handle);
    EXPECT_EQ(TWCC_OPERATIONERROR, session.conditionCode());
    std::vector<std::string> errors;  // the progress dialog is recorded too
    for (const RecordedBox& box : boxes.boxes())
        if (box.caption == "MELVO DIGITAL CAMERA ERROR") errors.push_back(box.text);
    EXPECT_EQ(std::vector<std::string>{"Twain error.\nFile read error.  An operation error just occurred.(5)"}, errors);
    TW_PENDINGXFERS pending = {};
    EXPECT_EQ(TWRC_SUCCESS, call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(1, pending.Count);
    EXPECT_TRUE(nearColour(BLUE, transferColour())) << "c.jpg still arrives";
}

TEST_F(Announcement, AMemoryTransferGetsItsFirstPictureAtOk)
{
    ASSERT_EQ(TWRC_SUCCESS, session.disable());
    TW_CAPABILITY mechanism = {ICAP_XFERMECH, TWON_ONEVALUE, globalAllocate(sizeof(TW_ONEVALUE))};
    {
        GlobalLockGuard<TW_ONEVALUE> value(mechanism.hContainer);
        value->ItemType = TWTY_UINT16;
        value->Item = TWSX_MEMORY;
    }
    ASSERT_EQ(TWRC_SUCCESS, call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &mechanism));
    GlobalFree(mechanism.hContainer);
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    {
        BrowserDriver browser(tree.root());
        browser.click(1);
        browser.pressButton(IDOK);
        EXPECT_EQ(1, transferReadyCount());
        ASSERT_NE(nullptr, g_transfer.heldBitmap);
        EXPECT_EQ(64, g_transfer.picture.width);
        EXPECT_EQ(48, g_transfer.picture.height);
        EXPECT_TRUE(selectedPositions(FILE_KIND_EXIF).empty()) << "the acquisition took the file";
    }
    TW_PENDINGXFERS pending = {};
    EXPECT_EQ(TWRC_SUCCESS, call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(TWRC_SUCCESS, session.disable());
    TW_CAPABILITY reset = {ICAP_XFERMECH, 0, nullptr};
    EXPECT_EQ(TWRC_SUCCESS, call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &reset));
    GlobalFree(reset.hContainer);
}

}  // namespace
