// Hostile folders in the file browser and the acquisition from disk: empty, cut and lying
// pictures, files deleted, replaced or locked between listing and OK, a directory removed while
// it is shown, names at the length limit and beyond ASCII, thousands of files that are no
// pictures. Each time the user sees a thumbnail, a placeholder or a clear box; the application
// gets the right picture whole or a failure; nothing crashes or hangs.
#include "source_driver.h"

#include "message_box_recorder.h"
#include "resources/resource_ids.h"
#include "../standins/cameras/camera_folder.h"

#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdlib>

namespace {

const char FILE_READ_ERROR[] = "Twain error.\nFile read error.  An operation error just occurred.(5)";

// A 64 x 48 baseline JPEG of one colour.
std::string jpegOf(COLORREF colour, int width = 64, int height = 48)
{
    std::vector<uint8_t> rgb;
    for (int i = 0; i < width * height; ++i) {
        rgb.push_back(GetRValue(colour));
        rgb.push_back(GetGValue(colour));
        rgb.push_back(GetBValue(colour));
    }
    std::string out;
    stbi_write_jpg_to_func([](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<char*>(data), size);
    }, &out, width, height, 3, rgb.data(), 95);
    return out;
}

// The same JPEG with its frame header claiming 65535 x 65535 pixels.
std::string hugeJpeg(COLORREF colour)
{
    std::string jpeg = jpegOf(colour);
    const size_t frame = jpeg.find("\xFF\xC0");
    if (frame != std::string::npos) jpeg.replace(frame + 5, 4, "\xFF\xFF\xFF\xFF");
    return jpeg;
}

// zlib's CRC-32, for K4I headers the test changes.
uint32_t crc32Of(const std::string& bytes, size_t length)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint8_t>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// A K4I file whose header (with a right CRC) claims 65535 x 65535 pixels.
std::string hugeK4i(std::string k4i)
{
    if (k4i.size() < 48) return k4i;
    for (int offset : {8, 12}) k4i.replace(offset, 4, std::string("\xFF\xFF\x00\x00", 4));
    const uint32_t crc = crc32Of(k4i, 44);
    for (int i = 0; i < 4; ++i) k4i[44 + i] = static_cast<char>(crc >> (8 * i));
    return k4i;
}

bool closeColour(COLORREF a, COLORREF b, int tolerance = 24)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string hex(COLORREF colour)
{
    char text[16];
    snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

COLORREF colourOf(const std::string& hexText)
{
    const unsigned long value = std::strtoul(hexText.c_str() + 1, nullptr, 16);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

// A picture's colour in the middle.
COLORREF middleColour(const Received& picture)
{
    const size_t at = (size_t(picture.height / 2) * picture.width + picture.width / 2) * 3;
    return at + 2 < picture.rgb.size() ? RGB(picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]) : 0;
}

const COLORREF RED = RGB(220, 30, 30), GREEN = RGB(30, 200, 40), BLUE = RGB(30, 40, 220), YELLOW = RGB(230, 220, 40);

class HostileFolders : public ::testing::Test {
protected:
    static void SetUpTestSuite() { driver = new SourceDriver; }
    static void TearDownTestSuite()
    {
        delete driver;
        driver = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(driver->loaded());
        char start[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof start, start);
        startDirectory = start;
        folder = scratch.path() + "\\pictures";
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_EQ(TWRC_SUCCESS, driver->open());
        ASSERT_EQ(TWRC_SUCCESS, driver->enable());
    }
    void TearDown() override
    {
        if (BrowserUser::window()) BrowserUser::cancel();
        driver->disable();
        driver->close();
        SetCurrentDirectoryA(startDirectory.c_str());
    }

    void put(const std::string& name, const std::string& bytes) { writeFileBytes(folder + "\\" + name, bytes); }

    // The browser opened on `directory` (the process's current directory when it opens).
    void browse(const std::string& directory)
    {
        ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str())) << directory;
        ASSERT_TRUE(BrowserUser::open());
    }

    std::vector<std::string> cells(int count)
    {
        std::vector<std::string> shown;
        for (int position = 1; position <= count; ++position) {
            const std::string cell = BrowserUser::cell(position);
            shown.push_back(cell[0] == '#' ? "picture" : cell);
        }
        return shown;
    }

    std::vector<std::string> errorBoxes() const
    {
        std::vector<std::string> texts;
        for (const RecordedBox& box : boxes.boxes())
            if (box.caption == "MELVO DIGITAL CAMERA ERROR") texts.push_back(box.text);
        return texts;
    }

    // The user selects cells first to last (a click, then a Shift-click) and presses OK; the
    // application takes every announced picture by native transfer. Returns what each transfer
    // gave: the picture's middle colour as "#rrggbb", or "failed".
    std::vector<std::string> okAndTransfer(int first, int last)
    {
        BrowserUser::click(first);
        if (last != first) BrowserUser::click(last, MK_SHIFT);
        driver->clearNotifications();
        BrowserUser::ok();
        std::vector<std::string> outcomes;
        if (driver->notifications(MSG_XFERREADY) == 0) return outcomes;
        for (int round = 0; round < 20; ++round) {
            const TransferResult result = driver->nativeTransfer();
            EXPECT_FALSE(result.halfDelivered);
            EXPECT_FALSE(result.handleWithFailure);
            outcomes.push_back(result.delivered ? hex(middleColour(result.picture)) : "failed");
            if (driver->endTransfer() <= 0) break;
        }
        return outcomes;
    }

    static SourceDriver* driver;
    MessageBoxRecorder boxes;
    ScratchFolder scratch;
    KeptFile settings{settingsFile()};
    std::string folder;
    std::string startDirectory;

    static std::string settingsFile()
    {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, sizeof windows);
        return std::string(windows) + "\\lx3twain.ini";
    }
};

SourceDriver* HostileFolders::driver = nullptr;


// Expect a list of outcomes where "#colour" entries match within the JPEG's rounding.
void expectOutcomes(const std::vector<std::string>& expected, const std::vector<std::string>& got)
{
    ASSERT_EQ(expected.size(), got.size()) << ::testing::PrintToString(got);
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i][0] == '#' && got[i][0] == '#') {
            EXPECT_TRUE(closeColour(colourOf(expected[i]), colourOf(got[i])))
                << i << ": " << got[i] << " for " << expected[i];
        } else {
            EXPECT_EQ(expected[i], got[i]) << i;
        }
    }
}

// A JPEG whose scan data is damaged in the middle: runs of one bits no Huffman code can be.
std::string damagedJpeg(COLORREF colour)
{
    std::string jpeg = jpegOf(colour, 256, 192);
    const size_t scan = jpeg.find("\xFF\xDA");
    if (scan == std::string::npos) return jpeg;
    const size_t from = scan + (jpeg.size() - scan) / 3;
    for (size_t i = from; i + 1 < from + 200 && i + 2 < jpeg.size(); i += 2) jpeg.replace(i, 2, "\xFF\x00");
    return jpeg;
}

// One odd file beside two good ones (red before it, green after it by name): what the grid shows
// for it, and what OK over every file shown gives the application.
struct OddFile {
    const char* what;
    const char* name;
    std::string (*bytes)();
    const char* shown;    // "left out", "placeholder" or "picture"
    const char* arrives;  // "failed", or "picture" (a whole picture of the file's own colour)
};

std::string k4iSample()
{
    return readFileBytes(std::string(SAMPLES_DIR) + "\\k4i_17x9.k4i");
}

const OddFile ODD_FILES[] = {
    {"an empty JPEG", "b.jpg", [] { return std::string(); }, "left out", ""},
    {"a JPEG cut in its scan", "b.jpg",
     [] {
         const std::string j = jpegOf(BLUE);
         return j.substr(0, j.size() * 2 / 3);
     },
     "left out", ""},
    {"a JPEG cut in its headers", "b.jpg", [] { return jpegOf(BLUE).substr(0, 20); }, "left out", ""},
    {"a JPEG claiming 65535 x 65535", "b.jpg", [] { return hugeJpeg(BLUE); }, "left out", ""},
    {"a JPEG with damaged scan data", "b.jpg", [] { return damagedJpeg(BLUE); }, "placeholder", "failed"},
    {"text named .jpg", "b.jpg", [] { return std::string("this is no picture\r\n"); }, "left out", ""},
    {"an empty K4I", "b.k4i", [] { return std::string(); }, "left out", ""},
    {"a K4I cut in half", "b.k4i",
     [] {
         const std::string k = k4iSample();
         return k.substr(0, k.size() / 2);
     },
     "left out", ""},
    {"a K4I claiming 65535 x 65535", "b.k4i", [] { return hugeK4i(k4iSample()); }, "left out", ""},
};

TEST_F(HostileFolders, OddFilesAreLeftOutOrShownAsPlaceholdersAndFailWithABox)
{
    for (const OddFile& odd : ODD_FILES) {
        SCOPED_TRACE(odd.what);
        const bool k4i = std::string(odd.name).find(".k4i") != std::string::npos;
        removeFolder(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        put(k4i ? "a.k4i" : "a.jpg", k4i ? k4iSample() : jpegOf(RED));
        put(odd.name, odd.bytes());
        put(k4i ? "c.k4i" : "c.jpg", k4i ? k4iSample() : jpegOf(GREEN));
        boxes.clear();
        browse(folder);
        if (k4i) BrowserUser::chooseFileType(1);
        const bool listed = std::string(odd.shown) != "left out";
        std::vector<std::string> expectedCells = {"picture", "picture", "empty"};
        if (listed) expectedCells.insert(expectedCells.begin() + 1, odd.shown);
        EXPECT_EQ(expectedCells, cells(static_cast<int>(expectedCells.size())));
        EXPECT_TRUE(errorBoxes().empty()) << "listing: " << errorBoxes().at(0);

        const std::vector<std::string> got = okAndTransfer(1, listed ? 3 : 2);
        std::vector<std::string> expected = {k4i ? "picture" : hex(RED), k4i ? "picture" : hex(GREEN)};
        if (listed) expected.insert(expected.begin() + 1, odd.arrives);
        std::vector<std::string> seen = got;
        if (k4i)
            for (std::string& outcome : seen) outcome = outcome[0] == '#' ? "picture" : outcome;
        expectOutcomes(expected, seen);
        const size_t failures = std::count(expected.begin(), expected.end(), std::string("failed"));
        EXPECT_EQ(std::vector<std::string>(failures, FILE_READ_ERROR), errorBoxes()) << "a box for every failure";
        BrowserUser::cancel();
    }
}

// What happens to file b (of a red a, b and a green c, all three selected) after the listing and
// before OK, and what the application then gets for b by native transfer.
struct Change {
    const char* what;
    void (*apply)(const std::string& b);
    const char* arrives;  // "failed" (with a box) or the colour b arrives in
};

HANDLE g_held = INVALID_HANDLE_VALUE;

const Change CHANGES[] = {
    {"deleted", [](const std::string& b) { DeleteFileA(b.c_str()); }, "failed"},
    {"replaced by another picture", [](const std::string& b) { writeFileBytes(b, jpegOf(YELLOW)); }, "#e6dc28"},
    {"replaced by text", [](const std::string& b) { writeFileBytes(b, "no picture any more"); }, "failed"},
    {"cut to its headers", [](const std::string& b) { writeFileBytes(b, jpegOf(BLUE).substr(0, 400)); }, "failed"},
    {"held open without sharing",
     [](const std::string& b) {
         g_held = CreateFileA(b.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
     },
     "failed"},
};

TEST_F(HostileFolders, FilesChangedBetweenListingAndOkGiveTheirContentOrABox)
{
    for (const Change& change : CHANGES) {
        SCOPED_TRACE(change.what);
        removeFolder(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        put("a.jpg", jpegOf(RED));
        put("b.jpg", jpegOf(BLUE));
        put("c.jpg", jpegOf(GREEN));
        boxes.clear();
        browse(folder);
        BrowserUser::click(1);
        BrowserUser::click(3, MK_SHIFT);
        change.apply(folder + "\\b.jpg");
        if (change.apply == CHANGES[4].apply) {
            ASSERT_NE(INVALID_HANDLE_VALUE, g_held);
        }
        const std::vector<std::string> got = okAndTransfer(1, 3);
        expectOutcomes({hex(RED), change.arrives, hex(GREEN)}, got);
        EXPECT_EQ(std::string(change.arrives) == "failed" ? std::vector<std::string>{FILE_READ_ERROR}
                                                           : std::vector<std::string>{},
                  errorBoxes());
        if (g_held != INVALID_HANDLE_VALUE) CloseHandle(g_held);
        g_held = INVALID_HANDLE_VALUE;
        BrowserUser::cancel();
    }
}

// By memory transfer the next file is decoded in the call that delivers the last strip of the one
// before: a next file that fails is told, and the finished picture is still the application's.
TEST_F(HostileFolders, AFinishedMemoryPictureStaysWhenTheNextFileFails)
{
    put("a.jpg", jpegOf(RED));
    put("b.jpg", jpegOf(BLUE));
    put("c.jpg", jpegOf(GREEN));
    ASSERT_EQ(TWRC_SUCCESS, driver->disable());
    ASSERT_EQ(TWRC_SUCCESS, driver->setMechanism(TWSX_MEMORY));
    ASSERT_EQ(TWRC_SUCCESS, driver->enable());
    browse(folder);
    BrowserUser::click(1);
    BrowserUser::click(3, MK_SHIFT);
    driver->clearNotifications();
    BrowserUser::ok();  // decodes a.jpg at once
    ASSERT_EQ(1, driver->notifications(MSG_XFERREADY));
    DeleteFileA((folder + "\\b.jpg").c_str());
    const TransferResult first = driver->memoryTransfer();
    EXPECT_EQ(TWRC_XFERDONE, first.answer);
    EXPECT_TRUE(first.delivered);
    EXPECT_TRUE(closeColour(RED, middleColour(first.picture)));
    EXPECT_EQ(TWCC_OPERATIONERROR, first.condition) << "the next file's failure is told";
    EXPECT_EQ(std::vector<std::string>{FILE_READ_ERROR}, errorBoxes());
    EXPECT_EQ(0, driver->endTransfer()) << "the failure ends the transfers";
    // c is still selected: OK again brings it.
    driver->clearNotifications();
    BrowserUser::ok();
    ASSERT_EQ(1, driver->notifications(MSG_XFERREADY));
    const TransferResult third = driver->memoryTransfer();
    EXPECT_TRUE(third.delivered);
    EXPECT_TRUE(closeColour(GREEN, middleColour(third.picture)));
    EXPECT_EQ(0, driver->endTransfer());
    BrowserUser::cancel();
    driver->disable();
    driver->setMechanism(TWSX_NATIVE);
}

// The application moves its current directory elsewhere (applications do, between calls), and
// the directory the browser shows is removed. Files of the same names in the application's
// directory must not be taken for the ones that were listed.
TEST_F(HostileFolders, ADirectoryRemovedWhileShownGivesBoxesNotOtherFiles)
{
    const std::string shown = folder + "\\shown";
    const std::string application = folder + "\\application";
    CreateDirectoryA(shown.c_str(), nullptr);
    CreateDirectoryA(application.c_str(), nullptr);
    // More files than the thumbnail cache holds, so that the last page is made only when shown.
    for (int i = 0; i < 80; ++i) {
        char name[16];
        snprintf(name, sizeof name, "\\p%02d.jpg", i);
        writeFileBytes(shown + name, jpegOf(RED));
        writeFileBytes(application + name, jpegOf(BLUE));
    }
    browse(shown);
    EXPECT_EQ("picture", cells(1)[0]);
    BrowserUser::click(1);
    BrowserUser::click(2, MK_CONTROL);
    ASSERT_TRUE(SetCurrentDirectoryA(application.c_str()));
    removeFolder(shown);
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(shown.c_str())) << "the directory could not be removed";

    // Scrolling meets files whose thumbnails were never made: placeholders.
    BrowserUser::scroll(SB_THUMBTRACK, 24);
    const std::vector<std::string> page = cells(8);
    for (const std::string& cell : page) EXPECT_EQ("placeholder", cell) << "a thumbnail of a file that is gone";
    BrowserUser::scroll(SB_THUMBTRACK, 0);
    const std::vector<std::string> got = okAndTransfer(1, 1);  // plain click: cell 1 only
    EXPECT_EQ((std::vector<std::string>{"failed"}), got) << "a file of the application's directory was delivered";
    EXPECT_EQ(std::vector<std::string>{FILE_READ_ERROR}, errorBoxes());
    // The user goes up to the folder, which still exists.
    boxes.clear();
    const std::vector<std::string> entries = BrowserUser::entries();
    ASSERT_GE(entries.size(), 2u);
    BrowserUser::enterEntry(static_cast<int>(entries.size()) - 1);  // the last path entry: the folder
    EXPECT_TRUE(errorBoxes().empty());
}

// A name of 255 characters, the longest a file system takes, in a folder whose path makes the
// whole path longer than MAX_PATH; and a subdirectory of 255 characters, whose path the browser
// cannot keep.
TEST_F(HostileFolders, NamesAtTheLengthLimit)
{
    // Made through the \\?\ form of the paths, which no MAX_PATH limits.
    const auto make = [](const std::string& path, const std::string& bytes, bool directory) {
        const std::string literal = "\\\\?\\" + path;
        const std::wstring wide(literal.begin(), literal.end());
        if (directory) return CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
        HANDLE file =
            CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return written == bytes.size();
    };
    put("a.jpg", jpegOf(RED));
    ASSERT_TRUE(make(folder + "\\" + std::string(251, 'p') + ".jpg", jpegOf(BLUE), false));
    const std::string longDirectory = folder + "\\" + std::string(255, 'd');
    ASSERT_TRUE(make(longDirectory, "", true)) << GetLastError() << " " << longDirectory.size();
    ASSERT_TRUE(make(longDirectory + "\\inside.jpg", jpegOf(GREEN), false));
    browse(folder);
    const std::vector<std::string> shown = cells(3);
    EXPECT_EQ("picture", shown[0]);
    EXPECT_EQ("empty", shown[2]);
    // The long name is listed, shows its thumbnail and arrives.
    EXPECT_EQ("picture", shown[1]) << "the picture with the long name";
    expectOutcomes({hex(RED), hex(BLUE)}, okAndTransfer(1, 2));
    EXPECT_TRUE(errorBoxes().empty()) << errorBoxes().at(0);
    // Entering the long subdirectory: its path does not fit, the browser stays where it is.
    boxes.clear();
    const std::vector<std::string> before = BrowserUser::entries();
    BrowserUser::enterEntry(static_cast<int>(before.size()) - 1);
    EXPECT_EQ(before, BrowserUser::entries());
    EXPECT_TRUE(errorBoxes().empty());
}

// Names with letters of the ANSI code page beyond ASCII, written in both cases (the list shows
// them in lower case), and one with letters outside the code page, which an ANSI program sees
// with question marks: every picture arrives as itself, in name order.
TEST_F(HostileFolders, NamesBeyondAsciiArriveAsThemselves)
{
    struct Named {
        const wchar_t* name;
        COLORREF colour;
    };
    const Named named[] = {{L"a.jpg", RED}, {L"\u00c4PFEL.JPG", BLUE}, {L"caf\u00e9.jpg", GREEN},
                           {L"\u00fcber\u00df.jpg", YELLOW}, {L"\u4e16\u754c.jpg", RGB(200, 40, 200)}};
    std::vector<std::string> expected;  // colours of the pictures the code page can name, in name order
    for (const Named& file : named) {
        const std::wstring path = std::wstring(folder.begin(), folder.end()) + L"\\" + file.name;
        const std::string bytes = jpegOf(file.colour);
        HANDLE handle =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        DWORD written = 0;
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(handle);
        BOOL lost = FALSE;
        char ansi[MAX_PATH];
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, file.name, -1, ansi, sizeof ansi, nullptr, &lost);
        if (!lost) expected.push_back(hex(file.colour));
    }
    // Name order of the lower-case ANSI names: a, äpfel, café, überß in code page 1252 byte order.
    ASSERT_EQ(1252u, GetACP()) << "the expected order is that of code page 1252";
    std::vector<std::string> ordered = {hex(RED), hex(GREEN), hex(BLUE), hex(YELLOW)};
    browse(folder);
    const std::vector<std::string> shown = cells(6);
    for (int i = 0; i < 4; ++i) EXPECT_EQ("picture", shown[i]) << i;
    EXPECT_NE("picture", shown[4]) << "a name the code page cannot hold shows no picture";
    const int last = shown[4] == "placeholder" ? 5 : 4;
    const std::vector<std::string> got = okAndTransfer(1, last);
    if (last == 5) ordered.push_back("failed");
    expectOutcomes(ordered, got);
    EXPECT_EQ(std::vector<std::string>(last == 5 ? 1 : 0, FILE_READ_ERROR), errorBoxes());
}

// Thousands of files that are no pictures, some of them named like pictures: the browser opens
// within a bound and shows the two pictures among them.
TEST_F(HostileFolders, ThousandsOfOtherFilesAroundTwoPictures)
{
    for (int i = 0; i < 3000; ++i) {
        char name[32];
        snprintf(name, sizeof name, "%s%04d.%s", i % 2 ? "note" : "text", i, i % 3 == 0 ? "jpg" : "txt");
        put(name, "not a picture");
    }
    put("m_first.jpg", jpegOf(RED));
    put("z_second.jpg", jpegOf(GREEN));
    const DWORD started = GetTickCount();
    browse(folder);
    const DWORD took = GetTickCount() - started;
    EXPECT_LT(took, 20000u) << "opening the browser on 3002 files took " << took << " ms";
    EXPECT_EQ((std::vector<std::string>{"picture", "picture", "empty"}), cells(3));
    expectOutcomes({hex(RED), hex(GREEN)}, okAndTransfer(1, 2));
    EXPECT_TRUE(errorBoxes().empty());
    RecordProperty("opening_ms", static_cast<int>(took));
}

}  // namespace
