// The calls into the maker's libraries, run against the simulated cameras and the image
// stand-ins: the owner is disabled while the library works and enabled after, with or
// without the end code; Cancel reaches the library; the focus goes where it belongs.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "camera/camera_settings.h"
#include "camera/library_calls.h"
#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "win32/maker/vx3cm32.h"
#include "camera_window/progress_dialog.h"
#include "camera_window/window_class.h"
#include "progress_test_window.h"
#include "../standins/cameras/camera_folder.h"

namespace {

std::string windowText(HWND window) {
    char text[128] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// What the owner and the dialog looked like from inside the library call.
struct SeenDuringCall {
    bool ran = false;
    bool ownerEnabled = true;
    std::string dialogTitle;
};

class LibraryCalls : public ::testing::Test {
protected:
    void SetUp() override {
        setWindowsModule(GetModuleHandleA(nullptr));
        showCameraProgressInDialogs();
        g_settings = {1, 1, 3};
    }
    void TearDown() override {
        vx1_camClose();
        vx2_camClose();
        if (lx3) vx3_camClose(lx3);
    }
    // Posted before the call; the first callback's message step runs it inside the library.
    void watchDuringCall(SeenDuringCall& seen) {
        HWND owner = windows.owner;
        windows.postAction([&seen, owner] {
            seen.ran = true;
            seen.ownerEnabled = IsWindowEnabled(owner) != FALSE;
            seen.dialogTitle = windowText(progressDialog());
        });
    }
    void openLx1(int port) {
        ASSERT_EQ(0, vx1_camOpen(port, 19200, 8, 0, 0, 1, 0));
    }
    TestWindows windows;
    CameraFolders folders;
    CameraHandle lx3 = 0;
};

std::string takeBytes(HGLOBAL data, uint32_t size) {
    std::string bytes(static_cast<const char*>(GlobalLock(data)), size);
    GlobalUnlock(data);
    GlobalFree(data);
    return bytes;
}

TEST_F(LibraryCalls, DownloadDisablesTheOwnerOnlyDuringTheCall) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i"});
    openLx1(1);
    SeenDuringCall seen;
    watchDuringCall(seen);
    HGLOBAL data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(0, libGetPicture1(windows.owner, 1, &data, &size));
    EXPECT_TRUE(seen.ran);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ("Now Loading ...", seen.dialogTitle);
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_EQ(nullptr, progressDialog());
    EXPECT_EQ(windows.owner, GetFocus()) << "the owner has the keyboard again";
    EXPECT_NE(std::string::npos, takeBytes(data, size).find("picture a.k4i"));
}

TEST_F(LibraryCalls, ALibraryThatSendsNoEndCodeLeavesNoDialogBehind) {
    folders.makeCameraWithPictures(2, 2, {"a.k4i"}, "[faults]\r\nnoend=1\r\n");
    int32_t port = 2, speed = 115200;
    ASSERT_EQ(0, vx2_camOpen(&port, &speed));
    SeenDuringCall seen;
    watchDuringCall(seen);
    HGLOBAL data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(0, libGetPicture2(windows.owner, 1, &data, &size));
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_EQ(nullptr, progressDialog());
    GlobalFree(data);
}

TEST_F(LibraryCalls, CancelPressedDuringADownloadStopsTheLibrary) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i"});
    openLx1(1);
    // Runs inside the begin step: the user presses Cancel, the next progress call sees it.
    windows.postAction([] { PostMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    HGLOBAL data = reinterpret_cast<HGLOBAL>(1);
    uint32_t size = 1;
    EXPECT_EQ(CAM_ERR_CANCELLED, libGetPicture1(windows.owner, 1, &data, &size));
    EXPECT_EQ(nullptr, data);
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_EQ(nullptr, progressDialog());
    EXPECT_EQ("getpicture n=1 -> ff61", folders.log(1).back());
}

TEST_F(LibraryCalls, Lx3DownloadFillsTheRequest) {
    folders.makeCameraWithPictures(3, 3, {"a.jpg", "b.jpg"});
    int32_t port = 3, speed = LX3_SPEED_115200;
    uint8_t model = 3;
    uint16_t ignored = 0;
    ASSERT_EQ(0, vx3_camOpen(&lx3, &port, &speed, &model, &ignored, &ignored));
    g_settings = {3, 3, SPEED_INDEX_115200};
    SeenDuringCall seen;
    watchDuringCall(seen);
    BYTE scratch[PICTURE_REQUEST_SCRATCH_SIZE];
    PICTURE_REQUEST request = {2, 0, scratch, nullptr, 0};
    ASSERT_EQ(0, libGetPicture3(windows.owner, lx3, &request));
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ("Now Loading ...", seen.dialogTitle);
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_EQ("picture b.jpg", takeBytes(request.data, request.dataSize));
}

TEST_F(LibraryCalls, FailedDownloadReturnsTheLibraryCodeUnchanged) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i", "b.k4i"}, "[faults]\r\npicture.2=ff64\r\nfailat.1=40,ff33\r\n");
    openLx1(1);
    HGLOBAL data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(CAM_ERR_SKIP, libGetPicture1(windows.owner, 2, &data, &size));
    EXPECT_EQ(0xFF33, libGetPicture1(windows.owner, 1, &data, &size));
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_EQ(nullptr, progressDialog());
}

// The camera layer tells whatever listener the windows install; here one that only writes down
// what it hears, with no dialog and no window.
std::vector<std::string> g_heard;

TEST_F(LibraryCalls, EveryReportAndTheEndOfEachCallReachTheInstalledListener) {
    g_heard.clear();
    cameraReportProgressTo(ProgressListener{
        [] { return HWND(nullptr); }, [](HWND) { g_heard.push_back("starts"); },
        [](ProgressTask task, int code, int value) -> int {
            const char* name = task == ProgressTask::Download ? "download"
                               : task == ProgressTask::Decode ? "decode" : "lx3";
            g_heard.push_back(std::string(name) + " " + std::to_string(code) + (code == PROGRESS_PERCENT ? " %" : ""));
            return PROGRESS_GO_ON;
        },
        [](HWND, bool focusOwner) { g_heard.push_back(focusOwner ? "ended, focus back" : "ended"); }});
    folders.makeCameraWithPictures(1, 1, {"a.k4i"}, "[faults]\r\nnoend=1\r\n");
    openLx1(1);
    HGLOBAL data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(0, libGetPicture1(windows.owner, 1, &data, &size));
    GlobalFree(data);
    EXIF_OPTIONS options = {8, 8, 1};
    EXIF_RESULT result = {};
    const std::string file = std::string(SAMPLES_DIR) + "\\odd_17x9.jpg";
    ASSERT_EQ(0, libDecodeExifFile(windows.owner, file.c_str(), &result, &options));
    GlobalFree(result.bitmap);
    GlobalFree(result.extra);
    showCameraProgressInDialogs();

    // The download sends no end code; the call's end comes all the same.
    using Heard = std::vector<std::string>;
    const auto end = std::find(g_heard.begin(), g_heard.end(), "ended, focus back");
    ASSERT_NE(g_heard.end(), end);
    EXPECT_EQ((Heard{"starts", "download 1"}), Heard(g_heard.begin(), g_heard.begin() + 2));
    EXPECT_EQ("download 16 %", *(end - 1));
    EXPECT_EQ((Heard{"starts", "decode 1"}), Heard(end + 1, end + 3));
    EXPECT_EQ((Heard{"decode 2", "ended"}), Heard(g_heard.end() - 2, g_heard.end()));
}

// ---- Decodes --------------------------------------------------------------------------------

std::string samplePath(const char* name) {
    return std::string(SAMPLES_DIR) + "\\" + name;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Decodes : public LibraryCalls {
protected:
    void SetUp() override {
        LibraryCalls::SetUp();
        other = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 50, 100, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override {
        DestroyWindow(other);
        LibraryCalls::TearDown();
    }
    void freeResult(HGLOBAL bitmap, HGLOBAL extra) {
        if (bitmap) GlobalFree(bitmap);
        if (extra) GlobalFree(extra);
    }
    // Files are decoded while the file browser is up and the camera window (the owner) is
    // hidden; the system then gives the focus to another window when the dialog goes, and the
    // call must not pull it into the hidden owner.
    void prepareFocus(PictureFrom from) {
        ShowWindow(windows.owner, from == PictureFrom::Camera ? SW_SHOW : SW_HIDE);
        SetFocus(other);
    }
    void expectFocus(PictureFrom from) {
        if (from == PictureFrom::Camera) EXPECT_EQ(windows.owner, GetFocus());
        else EXPECT_NE(windows.owner, GetFocus());
    }
    HWND other = nullptr;
};

TEST_F(Decodes, K4iDecodeShowsTheChangeDialogAndFocusesTheOwnerOnlyForCameraPictures) {
    const std::string path = samplePath("k4i_17x9.k4i");
    for (PictureFrom from : {PictureFrom::Camera, PictureFrom::File}) {
        prepareFocus(from);
        SeenDuringCall seen;
        watchDuringCall(seen);
        K4I_OPTIONS options = {0, 0, 8, 8, 1};
        K4I_RESULT result = {};
        ASSERT_EQ(0, libDecodeK4iFile(windows.owner, from, path.c_str(), &result, &options)) << path;
        EXPECT_NE(nullptr, result.bitmap);
        EXPECT_EQ("Changing Image Data...", seen.dialogTitle);
        EXPECT_FALSE(seen.ownerEnabled);
        EXPECT_TRUE(IsWindowEnabled(windows.owner));
        expectFocus(from);
        freeResult(result.bitmap, result.extra);
    }
}

TEST_F(Decodes, ExifMemoryDecodeFocusesTheOwnerOnlyForCameraPictures) {
    const std::string jpeg = fileBytes(samplePath("odd_17x9.jpg"));
    ASSERT_FALSE(jpeg.empty());
    for (PictureFrom from : {PictureFrom::Camera, PictureFrom::File}) {
        prepareFocus(from);
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, jpeg.size());
        memcpy(GlobalLock(data), jpeg.data(), jpeg.size());
        GlobalUnlock(data);
        SeenDuringCall seen;
        watchDuringCall(seen);
        EXIF_OPTIONS options = {8, 8, 1};
        EXIF_RESULT result = {};
        ASSERT_EQ(0, libDecodeExifMemory(windows.owner, from, data, static_cast<DWORD>(jpeg.size()), &result,
                                          &options));
        EXPECT_NE(nullptr, result.bitmap);
        EXPECT_EQ("Changing Image Data...", seen.dialogTitle);
        EXPECT_TRUE(IsWindowEnabled(windows.owner));
        expectFocus(from);
        EXPECT_NE(0u, GlobalSize(data)) << "the caller's block stays the caller's";
        GlobalFree(data);
        freeResult(result.bitmap, result.extra);
    }
}

TEST_F(Decodes, ExifFileDecodeNeverMovesTheFocus) {
    prepareFocus(PictureFrom::File);
    SeenDuringCall seen;
    watchDuringCall(seen);
    EXIF_OPTIONS options = {8, 8, 1};
    EXIF_RESULT result = {};
    ASSERT_EQ(0, libDecodeExifFile(windows.owner, samplePath("odd_17x9.jpg").c_str(), &result, &options));
    EXPECT_EQ("Changing Image Data...", seen.dialogTitle);
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_NE(windows.owner, GetFocus());
    freeResult(result.bitmap, result.extra);
}

TEST_F(Decodes, CancelledDecodeReturnsTheDecoderCode) {
    windows.postAction([] { PostMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    K4I_OPTIONS options = {0, 0, 8, 8, 1};
    K4I_RESULT result = {};
    const std::string path = samplePath("k4i_1600x1200.k4i");
    EXPECT_EQ(DEC_ERR_CANCELLED, libDecodeK4iFile(windows.owner, PictureFrom::Camera, path.c_str(), &result, &options));
    EXPECT_EQ(nullptr, result.bitmap);
    EXPECT_TRUE(IsWindowEnabled(windows.owner));
    EXPECT_EQ(nullptr, progressDialog());
}

}  // namespace
