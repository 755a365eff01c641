// VXK4X32.dll as the data source calls it: through the ordinal import library, with the
// records, codes, ownership and progress protocol of win32/maker/vxk4x32.h.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/maker/vxk4x32.h"
#include "picture_checks.h"

namespace {

ProgressLog g_log;
int WINAPI k4iProgress(int code, int value) { return g_log.record(code, value); }

const K4I_OPTIONS kWhole = {0, 0, 8, 8, 1};
const K4I_OPTIONS kThumbnail = {0, 0, 1, 1, 0};

std::string tempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "k4i_dll_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    CloseHandle(h);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    CloseHandle(h);
    return bytes;
}

HGLOBAL globalCopy(const std::vector<uint8_t>& bytes, size_t extra = 0) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + extra);
    std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

// Frees both handles of a result as the data source does, and says whether the bitmap was a
// movable block (locking gives a pointer that differs from the handle).
bool releaseResult(K4I_RESULT* r) {
    bool movable = false;
    if (r->bitmap) {
        void* p = GlobalLock(r->bitmap);
        movable = p && p != r->bitmap;
        GlobalUnlock(r->bitmap);
        EXPECT_EQ(nullptr, GlobalFree(r->bitmap));
    }
    if (r->extra) {
        EXPECT_EQ(nullptr, GlobalFree(r->extra));
    }
    r->bitmap = r->extra = nullptr;
    return movable;
}

TEST(K4iCheckFile, FlagIsOneOnlyForACompleteStillPicture) {
    std::string folder = tempFolder();
    std::vector<uint8_t> whole = readSample("k4i_o1.k4i");
    writeFile(folder + "\\cut.k4i", std::vector<uint8_t>(whole.begin(), whole.end() - 10));
    struct Case {
        std::string path;
        WORD code, flag;
    } cases[] = {
        {samplePath("k4i_o1.k4i"), 0, 1},
        {samplePath("k4i_o7.k4i"), 0, 1},
        {samplePath("k4i_other_kind.k4i"), 0, 0},
        {samplePath("no_such_file.k4i"), K4I_ERR_NOT_FOUND, 0},
        {samplePath("exif_o1.jpg"), K4I_ERR_BAD_FORMAT, 0},
        {folder + "\\cut.k4i", K4I_ERR_TRUNCATED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        WORD flag = 77;
        EXPECT_EQ(c.code, k4iCheckFile(c.path.c_str(), &flag));
        EXPECT_EQ(c.flag, flag);
    }
    EXPECT_EQ(K4I_ERR_BAD_ARGUMENT, k4iCheckFile(samplePath("k4i_o1.k4i").c_str(), nullptr));
    DeleteFileA((folder + "\\cut.k4i").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(K4iReadThumbnail, GivesAnUprightThumbnailAndAHeaderBlock) {
    K4I_OPTIONS options = kThumbnail;
    K4I_RESULT result = {};
    ASSERT_EQ(0, k4iReadThumbnail(samplePath("k4i_o6.k4i").c_str(), &result, &options, 0));
    ASSERT_NE(nullptr, result.bitmap);
    ASSERT_NE(nullptr, result.extra);
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    DibFacts f = dibFacts(dib);
    EXPECT_EQ(96, f.width);
    EXPECT_EQ(72, f.height);
    EXPECT_GE(GlobalSize(result.bitmap), 40u + 288u * 72u);
    EXPECT_TRUE(showsUprightQuadrants(dib, 0, 0, 96, 72));
    GlobalUnlock(result.bitmap);
    EXPECT_EQ(48u, GlobalSize(result.extra));
    EXPECT_EQ(0, std::memcmp(GlobalLock(result.extra), "K4IF", 4));
    GlobalUnlock(result.extra);
    EXPECT_TRUE(releaseResult(&result));

    EXPECT_EQ(K4I_ERR_NOT_FOUND, k4iReadThumbnail(samplePath("none.k4i").c_str(), &result, &options, 0));
    EXPECT_EQ(nullptr, result.bitmap);
    EXPECT_EQ(nullptr, result.extra);
}

TEST(K4iDecodeFile, WholePictureWithProgressAndResolution) {
    K4I_OPTIONS options = kWhole;
    K4I_RESULT result = {};
    g_log = ProgressLog();
    ASSERT_EQ(0, k4iDecodeFile(samplePath("k4i_o8.k4i").c_str(), &result, &options, nullptr, k4iProgress));
    EXPECT_EQ("", g_log.protocolProblem());
    EXPECT_GE(g_log.percentCount(), 10u);
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    DibFacts f = dibFacts(dib);
    EXPECT_EQ(641, f.width);
    EXPECT_EQ(479, f.height);
    EXPECT_EQ(5906, f.xPelsPerMeter);
    EXPECT_EQ(11811, f.yPelsPerMeter);
    EXPECT_EQ(1924u * 479u, f.sizeImage);
    EXPECT_GE(GlobalSize(result.bitmap), 40u + f.sizeImage);
    EXPECT_EQ(0, compareWithRgb(dib, referencePicture().data(), 641, 479).largest);
    GlobalUnlock(result.bitmap);
    EXPECT_TRUE(releaseResult(&result));

    // No callback: the same picture, quietly.
    ASSERT_EQ(0, k4iDecodeFile(samplePath("k4i_17x9.k4i").c_str(), &result, &options, nullptr, nullptr));
    releaseResult(&result);
}

TEST(K4iDecodeFile, CancelGivesCancelledNoHandlesAndStillEnds) {
    for (size_t stopAt : {1u, 4u}) {
        K4I_OPTIONS options = kWhole;
        K4I_RESULT result = {};
        g_log = ProgressLog();
        g_log.stopAt = stopAt;
        EXPECT_EQ(DEC_ERR_CANCELLED, k4iDecodeFile(samplePath("k4i_o1.k4i").c_str(), &result, &options, nullptr,
                                                   k4iProgress));
        EXPECT_EQ(nullptr, result.bitmap);
        EXPECT_EQ(nullptr, result.extra);
        EXPECT_EQ(stopAt + 1, g_log.calls.size());
        EXPECT_EQ(2, g_log.calls.back().first);
    }
}

TEST(K4iDecodeFile, DamagedFileGivesItsCodeAndEndsTheDialog) {
    std::string folder = tempFolder();
    std::vector<uint8_t> file = readSample("k4i_o1.k4i");
    file[file.size() - 5] ^= 0x22;
    writeFile(folder + "\\bad.k4i", file);
    K4I_OPTIONS options = kWhole;
    K4I_RESULT result = {};
    g_log = ProgressLog();
    EXPECT_EQ(K4I_ERR_CORRUPT, k4iDecodeFile((folder + "\\bad.k4i").c_str(), &result, &options, nullptr, k4iProgress));
    EXPECT_EQ(nullptr, result.bitmap);
    ASSERT_FALSE(g_log.calls.empty());
    EXPECT_EQ(2, g_log.calls.back().first);
    DeleteFileA((folder + "\\bad.k4i").c_str());
    RemoveDirectoryA(folder.c_str());
}

struct SplitFolder {
    std::string path = tempFolder();
    std::string file(const char* name) const { return path + "\\" + name; }
    ~SplitFolder() {
        for (const char* n : {"N0100001.K4I", "N0100001.K4S", "N0100001.REL"}) DeleteFileA(file(n).c_str());
        RemoveDirectoryA(path.c_str());
    }
};

TEST(K4iSplitData, WritesThePictureAndItsCompanions) {
    SplitFolder folder;
    std::vector<uint8_t> data = readSample("camera_data.k4cd");
    HGLOBAL h = globalCopy(data);
    ASSERT_EQ(0, k4iSplitData(h, DWORD(data.size()), folder.path.c_str()));
    EXPECT_EQ("K4S companion\r\n", std::string(reinterpret_cast<const char*>(readFile(folder.file("N0100001.K4S")).data()), 15));
    EXPECT_EQ(15u, readFile(folder.file("N0100001.REL")).size());
    WORD flag = 0;
    EXPECT_EQ(0, k4iCheckFile(folder.file("N0100001.K4I").c_str(), &flag));
    EXPECT_EQ(1, flag);
    K4I_OPTIONS options = kWhole;
    K4I_RESULT result = {};
    ASSERT_EQ(0, k4iDecodeFile(folder.file("N0100001.K4I").c_str(), &result, &options, nullptr, nullptr));
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(result.bitmap));
    EXPECT_EQ(0, compareWithRgb(dib, referencePicture().data(), 641, 479).largest);
    GlobalUnlock(result.bitmap);
    releaseResult(&result);
    // The caller's block is left alone.
    EXPECT_EQ(data.size(), GlobalSize(h));
    EXPECT_EQ(nullptr, GlobalFree(h));

    // A trailing backslash on the folder is fine.
    h = globalCopy(data);
    EXPECT_EQ(0, k4iSplitData(h, DWORD(data.size()), (folder.path + "\\").c_str()));
    GlobalFree(h);
}

TEST(K4iSplitData, RefusesBadContainersAndLeavesNoFiles) {
    SplitFolder folder;
    std::vector<uint8_t> data = readSample("camera_data.k4cd");
    std::vector<uint8_t> noK4i = readSample("camera_data_nok4i.k4cd");
    std::vector<uint8_t> badK4i = data;
    badK4i[8 + 8 + 15 + 8] = 'X';  // magic of the K4I part (after the 15-byte K4S part)
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        DWORD size;
        size_t slack;
        const char* folder;
        WORD expected;
    } cases[] = {
        {"no K4I part", noK4i, DWORD(noK4i.size()), 0, nullptr, K4I_ERR_NO_PICTURE},
        {"size beyond the block", data, DWORD(data.size() + 1), 0, nullptr, K4I_ERR_BAD_ARGUMENT},
        {"size short of the parts", data, DWORD(data.size() - 100), 0, nullptr, K4I_ERR_TRUNCATED},
        {"size short of the block", data, DWORD(data.size()), 64, nullptr, 0},
        {"K4I part is no K4I", badK4i, DWORD(badK4i.size()), 0, nullptr, K4I_ERR_BAD_FORMAT},
        {"missing folder", data, DWORD(data.size()), 0, "Z:\\no\\such\\folder", K4I_ERR_WRITE},
        {"null handle", {}, 10, 0, nullptr, K4I_ERR_BAD_ARGUMENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An earlier picture's file: the data source decodes N0100001.K4I after the split
        // whatever its result, so a failed split must not leave this one behind.
        if (!c.folder) writeFile(folder.file("N0100001.K4I"), readSample("k4i_17x9.k4i"));
        HGLOBAL h = c.bytes.empty() ? nullptr : globalCopy(c.bytes, c.slack);
        WORD rc = k4iSplitData(h, c.size, c.folder ? c.folder : folder.path.c_str());
        EXPECT_EQ(c.expected, rc);
        if (rc != 0) {
            EXPECT_FALSE(fileExists(folder.file("N0100001.K4I")));
        }
        DeleteFileA(folder.file("N0100001.K4I").c_str());
        if (h) GlobalFree(h);
    }
}

TEST(K4iSplitData, StaleCompanionsOfAnEarlierPictureAreRemoved) {
    SplitFolder folder;
    writeFile(folder.file("N0100001.REL"), {'o', 'l', 'd'});
    std::vector<uint8_t> k4i = readSample("k4i_17x9.k4i");
    std::vector<uint8_t> data = {'K', '4', 'C', 'D', 1, 0, 1, 0, 1, 0, 0, 0};
    for (int i = 0; i < 4; ++i) data.push_back(uint8_t(k4i.size() >> (8 * i)));
    data.insert(data.end(), k4i.begin(), k4i.end());
    HGLOBAL h = globalCopy(data);
    EXPECT_EQ(0, k4iSplitData(h, DWORD(data.size()), folder.path.c_str()));
    GlobalFree(h);
    EXPECT_EQ(k4i, readFile(folder.file("N0100001.K4I")));
    EXPECT_FALSE(fileExists(folder.file("N0100001.REL")));
}

}  // namespace
