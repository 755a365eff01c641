// The file browser as a user meets it: real windows on prepared directory trees, driven by the
// messages that clicks and keys produce, observed through the list, the screen and the scroll bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "browser_driver.h"
#include "message_box_recorder.h"
#include "picture_tree.h"
#include "camera_window/camera_window_state.h"
#include "file_browser/directory_scan.h"
#include "file_browser/file_browser_window.h"
#include "file_browser/thumbnail_grid.h"
#include "resources/resource_ids.h"

namespace {

using Names = std::vector<std::string>;
using Positions = std::vector<int>;

std::string numbered(const char* pattern, int i)
{
    char name[64];
    snprintf(name, sizeof name, pattern, i);
    return name;
}

// The path entries of a directory as the list shows them: drive, then each component.
Names pathEntries(const std::string& directory)
{
    Names entries;
    size_t start = 0;
    while (start < directory.size()) {
        size_t end = directory.find('\\', start);
        if (end == std::string::npos) end = directory.size();
        if (end > start) entries.push_back(directory.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

Names concat(Names a, const Names& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Directories compared as the file system does, without regard to case: the list shows
// subdirectories in upper case and the paths are made from its entries.
std::string upper(std::string text)
{
    if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::string currentDirectory()
{
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    return upper(directory);
}

std::string savedDirectory()
{
    return upper(g_browserDirectory);
}

class FileBrowser : public ::testing::Test {
protected:
    // `count` Exif pictures f000.jpg ... in `folder`, file i in pictureColour(i).
    void pictures(const std::string& folder, int count)
    {
        for (int i = 0; i < count; ++i) tree.jpeg(folder + numbered("f%03d.jpg", i), pictureColour(i));
    }

    PictureTree tree;
    MessageBoxRecorder boxes;
};

TEST_F(FileBrowser, ListsThePathThenEverySubdirectoryInUpperCaseAndByteOrder)
{
    const char* names[] = {"b", "A", ".hidden", "a1", "x.jpg", "sp ace", "\xe9" "cu", "zz~1"};
    for (const char* name : names) tree.directory(name);
    Names many;
    for (int i = 0; i < 300; ++i) {
        many.push_back(numbered("D%03d", i));
        tree.directory(numbered("d%03d", i));
    }
    BrowserDriver browser(tree.root());

    const Names expected = concat(concat(concat(pathEntries(tree.root()), {"A", "A1", "B"}), many),
                                  {"SP ACE", "X.JPG", "ZZ~1", "\xc9" "CU"});
    EXPECT_EQ(expected, browser.directoryEntries());
    EXPECT_EQ(pathEntries(tree.root()).size(), pathDepth());
    EXPECT_STREQ(tree.root().c_str(), g_browserDirectory);
    EXPECT_TRUE(fileNames(FILE_KIND_EXIF).empty()) << "a directory named x.jpg is not a picture";
}

TEST_F(FileBrowser, EntersSubdirectoriesPathEntriesAndTheDriveRoot)
{
    tree.directory("one");
    tree.directory("one\\two");
    pictures("one\\two\\", 2);
    BrowserDriver browser(tree.root());
    const size_t depth = pathDepth();

    browser.doubleClickEntry(static_cast<int>(depth));  // ONE
    EXPECT_EQ(upper(tree.path("one")), savedDirectory());
    browser.doubleClickEntry(static_cast<int>(depth) + 1);  // TWO
    EXPECT_EQ(upper(tree.path("one\\two")), currentDirectory());
    EXPECT_EQ(Names({"f000.jpg", "f001.jpg"}), fileNames(FILE_KIND_EXIF));
    EXPECT_TRUE(nearColour(pictureColour(1), browser.thumbnailColour(2)));

    browser.doubleClickEntry(static_cast<int>(depth) - 1);  // back up to the tree's root
    EXPECT_EQ(concat(pathEntries(tree.root()), {"ONE"}), browser.directoryEntries());
    EXPECT_TRUE(fileNames(FILE_KIND_EXIF).empty());

    browser.doubleClickEntry(0);  // the drive root
    const std::string root = upper(tree.root().substr(0, 3));
    EXPECT_EQ(root, savedDirectory());
    EXPECT_EQ(root, currentDirectory());
    EXPECT_EQ(1, pathDepth());
    EXPECT_EQ(root.substr(0, 2), browser.directoryEntries().front());

    // Another drive from the drive box, by the keyboard: its directory is listed.
    HWND drives = browser.control(IDC_DRIVE);
    const int c = static_cast<int>(SendMessageA(drives, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>("C:\\")));
    ASSERT_GE(c, 0);
    browser.chooseDrive(c);
    EXPECT_EQ("C:\\", savedDirectory());
    const Names entries = browser.directoryEntries();
    EXPECT_EQ("C:", entries.front());
    EXPECT_NE(entries.end(), std::find(entries.begin(), entries.end(), "WINDOWS"));
}

TEST_F(FileBrowser, ScansTheFilesThatTheirChecksAcceptIntoNameOrderPerKind)
{
    tree.jpeg("B.JPG", RGB(220, 40, 40));
    tree.jpeg("a.jpg", RGB(40, 200, 40));
    tree.jpeg("Long picture name.jpg", RGB(230, 230, 60));
    tree.k4i("c.K4I", RGB(40, 40, 220));
    tree.k4i("movie.k4i", RGB(40, 40, 220), 2);
    tree.bytes("corrupt.jpg", "\xff\xd8\xff\xe0 not really a picture");
    const std::string whole = tree.read("c.K4I");
    tree.bytes("short.k4i", whole.substr(0, whole.size() / 2));
    tree.directory("x.jpg");
    BrowserDriver browser(tree.root());

    EXPECT_EQ(Names({"a.jpg", "b.jpg", "long picture name.jpg"}), fileNames(FILE_KIND_EXIF));
    EXPECT_EQ(Names({"c.k4i"}), fileNames(FILE_KIND_K4I));
    const COLORREF exifCells[] = {RGB(40, 200, 40), RGB(220, 40, 40), RGB(230, 230, 60)};
    for (int p = 1; p <= 3; ++p) EXPECT_TRUE(nearColour(exifCells[p - 1], browser.thumbnailColour(p))) << p;

    browser.click(2);
    browser.chooseFileType(1);
    EXPECT_EQ(FILE_KIND_K4I, readFileKind(browser.window()));
    EXPECT_TRUE(nearColour(RGB(40, 40, 220), browser.thumbnailColour(1)));
    EXPECT_FALSE(nearColour(RGB(220, 40, 40), browser.thumbnailColour(2))) << "only one K4I file";
    browser.click(2);
    EXPECT_TRUE(selectedPositions(FILE_KIND_K4I).empty()) << "a click beyond the last drawn cell";
    browser.chooseFileType(0);
    EXPECT_EQ(Positions({2}), selectedPositions(FILE_KIND_EXIF)) << "changing the type keeps selections";
    EXPECT_TRUE(browser.marked(2));
}

TEST_F(FileBrowser, LabelsShowShortNamesWholeAndLongOnesCut)
{
    const struct {
        const char* name;
        const char* label;
    } cases[] = {{"abcdefgh.jpg", "abcdefgh.jpg"}, {"abcdefghijklm.jpg", "abcdefgh...."}, {"a.jpg", "a.jpg"}};
    for (const auto& c : cases) EXPECT_EQ(c.label, gridLabel(c.name));
}

TEST_F(FileBrowser, ScrollsByRowsWithinTheLimitAndResetsTheRangeForAShortListing)
{
    tree.directory("nine");
    pictures("", 10);
    pictures("nine\\", 9);
    BrowserDriver browser(tree.root());
    EXPECT_EQ(1, gridScrollLimit());
    EXPECT_EQ(1, browser.scrollRangeMax());

    browser.scroll(SB_PAGEDOWN);
    browser.repaint();
    EXPECT_EQ(1, gridFirstRow());
    EXPECT_EQ(1, browser.scrollPosition());
    for (int p = 1; p <= 7; ++p) EXPECT_TRUE(nearColour(pictureColour(p + 2), browser.thumbnailColour(p))) << p;
    browser.click(8);
    EXPECT_TRUE(selectedPositions(FILE_KIND_EXIF).empty()) << "the tenth file is alone in its row";
    browser.click(7);
    EXPECT_EQ(Positions({10}), selectedPositions(FILE_KIND_EXIF));

    browser.scroll(SB_LINEDOWN);
    EXPECT_EQ(1, gridFirstRow());
    EXPECT_FALSE(GetUpdateRect(browser.window(), nullptr, FALSE)) << "already at the end: no redraw";
    browser.scroll(SB_THUMBTRACK, 0);
    EXPECT_EQ(0, gridFirstRow());

    browser.doubleClickEntry(static_cast<int>(pathDepth()));  // NINE
    EXPECT_EQ(0, gridScrollLimit());
    EXPECT_EQ(0, browser.scrollRangeMax()) << "the range of the previous listing is gone";
    EXPECT_EQ(0, browser.scrollPosition());
    browser.scroll(SB_PAGEDOWN);
    EXPECT_EQ(0, gridFirstRow());
}

TEST_F(FileBrowser, SelectsByClickControlClickAndShiftClickWithMarksOnScreen)
{
    pictures("", 9);
    BrowserDriver browser(tree.root());
    const struct {
        Positions before;
        int clicked;
        WPARAM keys;
        Positions after;
    } cases[] = {
        {{3, 4}, 7, MK_SHIFT, {3, 4, 5, 6, 7}},
        {{3, 4}, 1, MK_SHIFT, {1, 2, 3, 4}},
        {{}, 5, MK_SHIFT, {1, 2, 3, 4, 5}},
        {{2, 5}, 9, MK_SHIFT | MK_CONTROL, {5, 6, 7, 8, 9}},
        {{2}, 2, MK_CONTROL, {}},
        {{2, 5}, 2, 0, {2}},
        {{4}, 9, MK_CONTROL, {4, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "click " << c.clicked << " keys " << c.keys);
        while (!selectedPositions(FILE_KIND_EXIF).empty()) browser.click(selectedPositions(FILE_KIND_EXIF).front(), MK_CONTROL);
        for (int p : c.before) browser.click(p, MK_CONTROL);
        ASSERT_EQ(c.before, selectedPositions(FILE_KIND_EXIF));

        browser.click(c.clicked, c.keys);
        EXPECT_EQ(c.after, selectedPositions(FILE_KIND_EXIF));
        for (int p = 1; p <= 9; ++p) {
            const bool selected = std::count(c.after.begin(), c.after.end(), p) > 0;
            EXPECT_EQ(selected, browser.marked(p)) << "mark of " << p;
        }
    }
    // Outside the grid: right of the last column, below the last row.
    const Positions before = selectedPositions(FILE_KIND_EXIF);
    browser.clickAt({GRID_LEFT + 3 * CELL_PITCH, 60});
    browser.clickAt({60, GRID_TOP + 3 * CELL_PITCH});
    EXPECT_EQ(before, selectedPositions(FILE_KIND_EXIF));
}

TEST_F(FileBrowser, KeepsAWindowOf66ThumbnailsThatSlidesBy21AndFollowsAFarJump)
{
    pictures("", 100);
    BrowserDriver browser(tree.root());
    auto range = [](int from, int to) {
        Positions positions;
        for (int i = from; i <= to; ++i) positions.push_back(i);
        return positions;
    };
    EXPECT_EQ(range(1, 66), loadedPositions());

    for (int row = 1; row <= 20; ++row) {  // until the 67th file is shown
        browser.scroll(SB_LINEDOWN);
        browser.repaint();
    }
    EXPECT_EQ(range(22, 87), loadedPositions());
    for (int p = 1; p <= 9; ++p) EXPECT_TRUE(nearColour(pictureColour(59 + p), browser.thumbnailColour(p))) << p;

    browser.scroll(SB_THUMBTRACK, 0);
    browser.repaint();
    EXPECT_EQ(range(1, 66), loadedPositions());

    browser.scroll(SB_THUMBTRACK, gridScrollLimit());  // files 94 to 100
    browser.repaint();
    EXPECT_LE(loadedPositions().size(), 66u);
    for (int p = 1; p <= 7; ++p) EXPECT_TRUE(nearColour(pictureColour(92 + p), browser.thumbnailColour(p))) << p;
}

TEST_F(FileBrowser, AFileWithoutAThumbnailGetsAPlaceholderAndTheOthersStillLoad)
{
    pictures("", 90);
    // Complete, so the check accepts it, but its thumbnail fails its CRC.
    tree.k4i("f001.k4i", RGB(40, 40, 220));
    std::string damaged = tree.read("f001.k4i");
    damaged[60] = static_cast<char>(damaged[60] ^ 0x55);
    tree.bytes("f001.k4i", damaged);
    tree.k4i("f002.k4i", RGB(220, 40, 40));
    BrowserDriver browser(tree.root());
    browser.chooseFileType(1);
    EXPECT_EQ(Names({"f001.k4i", "f002.k4i"}), fileNames(FILE_KIND_K4I));
    EXPECT_TRUE(nearColour(RGB(64, 64, 64), browser.thumbnailColour(1), 2)) << "placeholder";
    EXPECT_TRUE(nearColour(RGB(220, 40, 40), browser.thumbnailColour(2)));

    // A file gone from the disk before the cache reaches it.
    browser.chooseFileType(0);
    DeleteFileA(tree.path("f084.jpg").c_str());
    browser.scroll(SB_THUMBTRACK, gridScrollLimit());  // f081.jpg to f089.jpg
    browser.repaint();
    EXPECT_TRUE(nearColour(RGB(64, 64, 64), browser.thumbnailColour(4), 2)) << "placeholder for f084.jpg";
    for (int p : {1, 2, 3, 5, 6, 7, 8, 9}) EXPECT_TRUE(nearColour(pictureColour(80 + p), browser.thumbnailColour(p))) << p;
}

TEST_F(FileBrowser, EntersPathsUpTo255CharactersAndStaysPutForLongerOnes)
{
    const std::string parent = std::string(199 - tree.root().size(), 'p');
    tree.directory(parent);
    tree.directory(parent + "\\" + std::string(54, 'c'));  // 255 characters
    tree.directory(parent + "\\" + std::string(55, 'd'));  // 256 characters
    pictures(parent + "\\", 2);
    BrowserDriver browser(tree.path(parent));
    const Names listing = browser.directoryEntries();
    const size_t depth = pathDepth();
    ASSERT_EQ(depth + 2, listing.size());

    browser.doubleClickEntry(static_cast<int>(depth) + 1);
    EXPECT_EQ(listing, browser.directoryEntries());
    EXPECT_EQ(upper(tree.path(parent)), savedDirectory());
    EXPECT_EQ(upper(tree.path(parent)), currentDirectory());
    EXPECT_EQ(Names({"f000.jpg", "f001.jpg"}), fileNames(FILE_KIND_EXIF));

    browser.doubleClickEntry(static_cast<int>(depth));
    const std::string longest = upper(tree.path(parent + "\\" + std::string(54, 'c')));
    ASSERT_EQ(255u, longest.size());
    EXPECT_EQ(longest, savedDirectory());
    EXPECT_EQ(longest, currentDirectory());
}

TEST_F(FileBrowser, TheCloseBoxAndCancelReleaseEverythingAndShowTheCameraWindow)
{
    pictures("", 12);
    for (UINT how : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(IDCANCEL)}) {
        HWND camera = CreateWindowExA(0, "STATIC", "camera", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        g_cameraWindow.window = camera;
        BrowserDriver browser(tree.root());
        std::vector<HGDIOBJ> thumbnails;
        for (const FileEntry& entry : fileList()) {
            if (entry.thumbnail) thumbnails.push_back(entry.thumbnail.get());
        }
        ASSERT_EQ(12u, thumbnails.size());
        browser.click(1);

        if (how == WM_CLOSE) SendMessageA(browser.window(), WM_CLOSE, 0, 0);
        else browser.pressButton(IDCANCEL);
        EXPECT_FALSE(IsWindow(browser.window()));
        EXPECT_EQ(nullptr, g_fileBrowserWindow);
        EXPECT_TRUE(IsWindowVisible(camera));
        EXPECT_TRUE(fileList().empty());
        for (HGDIOBJ thumbnail : thumbnails) EXPECT_EQ(0u, GetObjectType(thumbnail)) << "thumbnail leaked";
        g_cameraWindow.window = nullptr;
        DestroyWindow(camera);
    }
    // Destroyed by the source closing: the list goes too.
    {
        BrowserDriver browser(tree.root());
        HGDIOBJ thumbnail = fileList().front().thumbnail.get();
        destroyFileBrowserWindow();
        EXPECT_TRUE(fileList().empty());
        EXPECT_EQ(0u, GetObjectType(thumbnail));
    }
}

}  // namespace
