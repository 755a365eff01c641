// VXXIF32.dll as the data source calls it: through the ordinal import library, with the
// records, codes, ownership and progress hook of win32/maker/vxxif32.h.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/maker/vxxif32.h"
#include "jpeg_reference.h"
#include "picture_checks.h"

namespace {

ProgressLog g_log;
DWORD g_userData = 0;
int WINAPI exifProgress(int code, int value, DWORD userData) {
    g_userData = userData;
    return g_log.record(code, value);
}

EXIF_OPTIONS kWhole = {8, 8, 1};
EXIF_OPTIONS kThumbnail = {1, 1, 0};

HGLOBAL globalCopy(const std::vector<uint8_t>& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
    if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

void releaseResult(EXIF_RESULT* r) {
    if (r->bitmap) {
        EXPECT_EQ(nullptr, GlobalFree(r->bitmap));
    }
    if (r->extra) {
        EXPECT_EQ(nullptr, GlobalFree(r->extra));
    }
    r->bitmap = r->extra = nullptr;
}

// Keeps the process's current directory as it was.
struct CurrentDirectory {
    char saved[MAX_PATH];
    explicit CurrentDirectory(const std::string& path) {
        GetCurrentDirectoryA(MAX_PATH, saved);
        SetCurrentDirectoryA(path.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryA(saved); }
};

TEST(ExifCheckFile, WholeResultIsZeroOnlyForUsableJpeg) {
    struct Case {
        const char* name;
        DWORD code;
        WORD orientation;
    } cases[] = {
        {"exif_o1.jpg", 0, 1},
        {"exif_o6.jpg", 0, 6},
        {"jfif_plain.jpg", 0, 1},
        {"k4i_o1.k4i", EXIF_ERR_BAD_FORMAT, 0},
        {"no_such_file.jpg", EXIF_ERR_NOT_FOUND, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WORD orientation = 0;
        EXPECT_EQ(c.code, exifCheckFile(samplePath(c.name).c_str(), &orientation));
        EXPECT_EQ(c.orientation, orientation);
    }
}

// A file of the test's own in the temporary folder, removed at the end.
struct TempFile {
    std::string path;
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        char folder[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "xif", 0, name);
        path = name;
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
    ~TempFile() { DeleteFileA(path.c_str()); }
};

TEST(ExifCheckFile, ReadsTheHeadOnlyAndLeavesScanDamageToTheDecode) {
    // Cut in its scan data: the check passes, the thumbnail comes from the embedded one, the
    // whole picture is refused.
    std::vector<uint8_t> cut = readSample("exif_o6.jpg");
    cut.resize(cut.size() * 3 / 4);
    // 70 KB of APP2 segments before the frame: the check reads on past the head.
    std::vector<uint8_t> big = readSample("jfif_plain.jpg");
    std::vector<uint8_t> app2 = {0xFF, 0xE2, 0xEA, 0x60};
    app2.resize(0xEA60 + 2, 'x');
    big.insert(big.begin() + 2, app2.begin(), app2.end());
    big.insert(big.begin() + 2, app2.begin(), app2.end());
    TempFile cutFile(cut), bigFile(big);
    WORD orientation = 0;
    EXPECT_EQ(0u, exifCheckFile(cutFile.path.c_str(), &orientation));
    EXPECT_EQ(6, orientation);
    EXPECT_EQ(0u, exifCheckFile(bigFile.path.c_str(), &orientation));
    EXIF_RESULT result = {};
    WORD scratch = 0;
    ASSERT_EQ(0, exifDecodeFile(cutFile.path.c_str(), &result, &scratch, &kThumbnail, nullptr));
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    EXPECT_TRUE(showsUprightQuadrants(dib, 0, 0, 96, 72));
    GlobalUnlock(result.bitmap);
    releaseResult(&result);
    EXPECT_EQ(EXIF_ERR_TRUNCATED, exifDecodeFile(cutFile.path.c_str(), &result, &scratch, &kWhole, nullptr));
    ASSERT_EQ(0, exifDecodeFile(bigFile.path.c_str(), &result, &scratch, &kThumbnail, nullptr));
    releaseResult(&result);
}

// A head past the first read (16 KiB) but within the second (64 KiB): checked, and the embedded
// thumbnail taken from it.
TEST(ExifCheckFile, AHeadOfMiddleLengthIsReadInTheSecondStep) {
    std::vector<uint8_t> file = readSample("exif_marked_thumb.jpg");
    std::vector<uint8_t> app2 = {0xFF, 0xE2, 0x75, 0x30};  // 30000 bytes
    app2.resize(0x7530 + 2, 'x');
    file.insert(file.begin() + 2, app2.begin(), app2.end());
    TempFile temp(file);
    WORD orientation = 0;
    EXPECT_EQ(0u, exifCheckFile(temp.path.c_str(), &orientation));
    EXIF_RESULT result = {};
    ASSERT_EQ(0, exifDecodeFile(temp.path.c_str(), &result, &orientation, &kThumbnail, nullptr));
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    EXPECT_TRUE(closeTo(dibPixel(dib, 48, 36), 255, 0, 255, 8)) << "the magenta embedded thumbnail";
    GlobalUnlock(result.bitmap);
    releaseResult(&result);
}

TEST(ExifDecodeFile, RelativePathDecodesExactlyLikeADirectDecode) {
    CurrentDirectory cd(samplePath(""));
    std::vector<uint8_t> file = readSample("exif_o1.jpg");
    int w = 0, h = 0;
    std::vector<uint8_t> direct = directDecode(file, &w, &h);
    ASSERT_FALSE(direct.empty());

    PROGRESS_HOOK hook = {exifProgress, 1};
    EXIF_RESULT result = {};
    WORD scratch = 0;
    g_log = ProgressLog();
    g_userData = 0;
    ASSERT_EQ(0, exifDecodeFile("exif_o1.jpg", &result, &scratch, &kWhole, &hook));
    EXPECT_EQ("", g_log.protocolProblem());
    EXPECT_GE(g_log.percentCount(), 10u);
    EXPECT_EQ(1u, g_userData);
    ASSERT_NE(nullptr, result.bitmap);
    ASSERT_NE(nullptr, result.extra);
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    DibFacts f = dibFacts(dib);
    EXPECT_EQ(w, f.width);
    EXPECT_EQ(h, f.height);
    EXPECT_EQ(11811, f.xPelsPerMeter);
    EXPECT_EQ(5906, f.yPelsPerMeter);
    EXPECT_EQ(0, compareWithRgb(dib, direct.data(), uint32_t(w), uint32_t(h)).largest);
    GlobalUnlock(result.bitmap);

    // The extra block: facts, then the Exif TIFF data.
    const EXIF_INFO* info = static_cast<const EXIF_INFO*>(GlobalLock(result.extra));
    EXPECT_EQ(641u, info->storedWidth);
    EXPECT_EQ(479u, info->storedHeight);
    EXPECT_EQ(1, info->orientation);
    EXPECT_EQ(EXIF_INFO_HAS_EXIF | EXIF_INFO_HAS_THUMBNAIL, info->flags);
    EXPECT_EQ(sizeof(EXIF_INFO) + info->exifBytes, GlobalSize(result.extra));
    EXPECT_EQ(0, std::memcmp(info + 1, "II*\0", 4));
    GlobalUnlock(result.extra);
    releaseResult(&result);
}

TEST(ExifDecodeFile, ThumbnailModeWithoutHook) {
    struct Case {
        const char* name;
        bool magenta;
    } cases[] = {{"exif_marked_thumb.jpg", true}, {"exif_o7.jpg", false}, {"jfif_300dpi.jpg", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXIF_RESULT result = {};
        WORD scratch = 0;
        ASSERT_EQ(0, exifDecodeFile(samplePath(c.name).c_str(), &result, &scratch, &kThumbnail, nullptr));
        const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
        EXPECT_EQ(96, dibFacts(dib).width);
        EXPECT_EQ(72, dibFacts(dib).height);
        if (c.magenta) {
            EXPECT_TRUE(closeTo(dibPixel(dib, 48, 36), 255, 0, 255, 8));
        } else {
            EXPECT_TRUE(showsUprightQuadrants(dib, 0, 0, 96, 72));
        }
        GlobalUnlock(result.bitmap);
        EXPECT_NE(nullptr, result.extra);
        releaseResult(&result);
    }
}

TEST(ExifDecodeFile, EveryJpegShapeWholeAndAsThumbnail) {
    struct Case {
        const char* name;
        bool direct;  // compared with a direct decode (libjpeg gives no RGB for CMYK)
    } cases[] = {{"restart_rows.jpg", true}, {"progressive.jpg", true}, {"cmyk_adobe.jpg", false},
                 {"progressive_o6.jpg", false}, {"exif_1600x1200.jpg", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (EXIF_OPTIONS* options : {&kWhole, &kThumbnail}) {
            EXIF_RESULT result = {};
            WORD scratch = 0;
            ASSERT_EQ(0, exifDecodeFile(samplePath(c.name).c_str(), &result, &scratch, options, nullptr));
            const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
            DibFacts f = dibFacts(dib);
            EXPECT_TRUE(showsUprightQuadrants(dib, 0, 0, uint32_t(f.width), uint32_t(f.height)));
            if (options == &kWhole && c.direct) {
                int w = 0, h = 0;
                std::vector<uint8_t> direct = directDecode(readSample(c.name), &w, &h);
                ASSERT_EQ(w, f.width);
                EXPECT_EQ(0, compareWithRgb(dib, direct.data(), uint32_t(w), uint32_t(h)).largest);
            }
            GlobalUnlock(result.bitmap);
            releaseResult(&result);
        }
    }
}

TEST(ExifDecodeMemory, DecodesTheCallersBlockAndLeavesItToTheCaller) {
    std::vector<uint8_t> file = readSample("exif_mm_exiftool.jpg");
    HGLOBAL data = globalCopy(file);
    PROGRESS_HOOK hook = {exifProgress, 1};
    EXIF_RESULT result = {};
    WORD scratch = 0;
    g_log = ProgressLog();
    ASSERT_EQ(0, exifDecodeMemory(data, DWORD(file.size()), &result, &scratch, &kWhole, &hook));
    EXPECT_EQ("", g_log.protocolProblem());
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    DibFacts f = dibFacts(dib);
    EXPECT_EQ(641, f.width);
    EXPECT_EQ(479, f.height);
    EXPECT_EQ(7087, f.xPelsPerMeter);
    EXPECT_TRUE(showsUprightQuadrants(dib, 0, 0, 641, 479));
    GlobalUnlock(result.bitmap);
    releaseResult(&result);
    EXPECT_EQ(file.size(), GlobalSize(data));
    EXPECT_EQ(0, std::memcmp(GlobalLock(data), file.data(), file.size()));
    GlobalUnlock(data);
    EXPECT_EQ(nullptr, GlobalFree(data));
}

TEST(ExifDecodeMemory, CancelGivesCancelledNoHandlesAndStillEnds) {
    std::vector<uint8_t> file = readSample("exif_1600x1200.jpg");
    HGLOBAL data = globalCopy(file);
    for (size_t stopAt : {1u, 5u, 12u}) {
        SCOPED_TRACE(stopAt);
        PROGRESS_HOOK hook = {exifProgress, 1};
        EXIF_RESULT result = {};
        WORD scratch = 0;
        g_log = ProgressLog();
        g_log.stopAt = stopAt;
        EXPECT_EQ(DEC_ERR_CANCELLED, exifDecodeMemory(data, DWORD(file.size()), &result, &scratch, &kWhole, &hook));
        EXPECT_EQ(nullptr, result.bitmap);
        EXPECT_EQ(nullptr, result.extra);
        EXPECT_EQ(stopAt + 1, g_log.calls.size());
        EXPECT_EQ(2, g_log.calls.back().first);
    }
    GlobalFree(data);
}

TEST(ExifDecodeMemory, RefusesBadArgumentsAndDamagedData) {
    std::vector<uint8_t> file = readSample("exif_o1.jpg");
    HGLOBAL data = globalCopy(file);
    EXIF_RESULT result = {};
    WORD scratch = 0;
    EXIF_OPTIONS odd = {8, 8, 2};
    EXPECT_EQ(EXIF_ERR_BAD_ARGUMENT, exifDecodeMemory(data, DWORD(file.size() + 1), &result, &scratch, &kWhole, nullptr));
    EXPECT_EQ(EXIF_ERR_BAD_ARGUMENT, exifDecodeMemory(data, DWORD(file.size()), &result, &scratch, &odd, nullptr));
    EXPECT_EQ(EXIF_ERR_BAD_ARGUMENT, exifDecodeMemory(data, DWORD(file.size()), nullptr, &scratch, &kWhole, nullptr));
    EXPECT_EQ(EXIF_ERR_BAD_ARGUMENT, exifDecodeMemory(nullptr, 10, &result, &scratch, &kWhole, nullptr));
    EXPECT_EQ(EXIF_ERR_TRUNCATED, exifDecodeMemory(data, DWORD(file.size() / 2), &result, &scratch, &kWhole, nullptr));
    EXPECT_EQ(nullptr, result.bitmap);
    EXPECT_EQ(nullptr, result.extra);
    GlobalFree(data);

    std::vector<uint8_t> text(500, 'x');
    data = globalCopy(text);
    EXPECT_EQ(EXIF_ERR_BAD_FORMAT, exifDecodeMemory(data, DWORD(text.size()), &result, &scratch, &kWhole, nullptr));
    GlobalFree(data);
}

}  // namespace
