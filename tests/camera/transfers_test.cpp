// Pictures from the simulated cameras to the application, through DS_Entry as an application
// asks for them: native and memory transfers of every family, odd picture sizes, small
// buffers, cancels and failures, and the temporary directory after each outcome. Pixels are
// checked against the sample pictures' own formula (tools/samples/make_samples.py), which is
// independent of every decoder in the project.
#include "source_session.h"
#include "folder_entries.h"
#include "message_box_recorder.h"
#include "progress_test_window.h"
#include "../standins/cameras/camera_folder.h"

#include "camera/camera_connection.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera/image_decoding.h"
#include "camera_window/picture_list.h"
#include "camera_window/progress_dialog.h"
#include "file_browser/file_list.h"
#include "file_browser/thumbnail_grid.h"
#include "resources/resource_ids.h"
#include "twain/capabilities.h"
#include "twain/notifications.h"
#include "twain/transfer_cursor.h"
#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "win32/maker/vx3cm32.h"
#include "win32/maker/vxxif32.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>


namespace {

std::string samplePath(const std::string& name)
{
    return std::string(SAMPLES_DIR) + "\\" + name;
}

// A picture as the application sees it: compact RGB rows, top row first.
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
};

// The sample pictures' drawing: four coloured quadrants with gentle gradients.
Picture formulaPicture(uint32_t width, uint32_t height)
{
    static const int quadrant[4][3] = {{220, 40, 40}, {40, 200, 40}, {40, 40, 220}, {230, 230, 60}};
    Picture picture{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const int* base = quadrant[(x >= width / 2) + 2 * (y >= height / 2)];
            picture.rgb.push_back(static_cast<uint8_t>(std::min<uint32_t>(255, base[0] + x * 24 / width)));
            picture.rgb.push_back(static_cast<uint8_t>(std::min<uint32_t>(255, base[1] + y * 24 / height)));
            picture.rgb.push_back(static_cast<uint8_t>(std::min<uint32_t>(255, base[2] + (x + y) * 16 / (width + height))));
        }
    }
    return picture;
}

// The rows of a packed bottom-up DIB with padded rows, read by this test's own walk.
Picture pictureOfDib(HGLOBAL dib)
{
    Picture picture;
    const auto* block = static_cast<const uint8_t*>(GlobalLock(dib));
    if (!block) return picture;
    BITMAPINFOHEADER header;
    std::memcpy(&header, block, sizeof header);
    picture.width = header.biWidth;
    picture.height = header.biHeight;
    const uint32_t stride = (picture.width * 3 + 3) / 4 * 4;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = block + 40 + (picture.height - 1 - y) * stride;
        for (uint32_t x = 0; x < picture.width; ++x) {
            picture.rgb.push_back(row[3 * x + 2]);
            picture.rgb.push_back(row[3 * x + 1]);
            picture.rgb.push_back(row[3 * x]);
        }
    }
    GlobalUnlock(dib);
    return picture;
}

double meanDifference(const Picture& a, const Picture& b)
{
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 1e9;
    double total = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) total += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return total / a.rgb.size();
}

class Transfers : public SourceTest {
protected:
    void SetUp() override
    {
        SourceTest::SetUp();
        // Downloads go through the temporary directory: give the test one of its own.
        temporary = folders.root() + "\\temp";
        CreateDirectoryA(temporary.c_str(), nullptr);
        char previous[MAX_PATH] = "";
        GetEnvironmentVariableA("TMP", previous, sizeof previous);
        previousTmp = previous;
        SetEnvironmentVariableA("TMP", temporary.c_str());
        g_settings = {};
        g_camera = {};
        ASSERT_EQ(TWRC_SUCCESS, session.open());
    }
    void TearDown() override
    {
        SourceTest::TearDown();
        EXPECT_FALSE(cameraConnected());
        SetEnvironmentVariableA("TMP", previousTmp.empty() ? nullptr : previousTmp.c_str());
    }

    HWND window() const { return g_cameraWindow.window; }
    void command(int id)
    {
        SendMessageA(window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window(), id)));
    }

    // The application negotiates the mechanism and enables the source; the user connects a
    // camera of `family` on COM1 holding the sample files in this order, on the option page.
    // `raw` pictures follow the samples, holding exactly the bytes given.
    void connect(int family, TW_UINT16 mechanism, const std::vector<std::string>& samples,
                 const std::string& faults = "", const std::vector<std::string>& raw = {})
    {
        removeTree(folders.port(1));
        folders.makeCamera(1, "[camera]\r\nfamily=" + std::to_string(family) + "\r\n[faults]\r\n" + faults);
        std::vector<std::string> pictures;
        for (const std::string& name : samples) pictures.push_back(readFileBytes(samplePath(name)));
        pictures.insert(pictures.end(), raw.begin(), raw.end());
        for (size_t i = 0; i < pictures.size(); ++i) {
            char file[32];
            wsprintfA(file, family == 3 ? "internal\\P%03d.jpg" : "card\\P%03d.k4i", int(i + 1));
            folders.addFile(1, file, pictures[i]);
        }
        setMechanism(mechanism);
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
        HWND model = GetDlgItem(window(), IDC_MODEL);
        SendMessageA(model, CB_SETCURSEL, 3 - family, 0);
        SendMessageA(window(), WM_COMMAND, MAKEWPARAM(IDC_MODEL, CBN_CLOSEUP), reinterpret_cast<LPARAM>(model));
        HWND port = GetDlgItem(window(), IDC_PORT);
        SendMessageA(port, CB_SETCURSEL, 0, 0);  // COM1, whatever the settings file said
        SendMessageA(window(), WM_COMMAND, MAKEWPARAM(IDC_PORT, CBN_CLOSEUP), reinterpret_cast<LPARAM>(port));
        HWND speed = GetDlgItem(window(), IDC_SPEED);
        SendMessageA(speed, CB_SETCURSEL, 3, 0);
        SendMessageA(window(), WM_COMMAND, MAKEWPARAM(IDC_SPEED, CBN_CLOSEUP), reinterpret_cast<LPARAM>(speed));
        command(IDC_CAMERA);
        ASSERT_TRUE(cameraConnected()) << (errorBoxes().empty() ? "" : errorBoxes().back());
    }

    void setMechanism(TW_UINT16 mechanism)
    {
        TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
        auto* value = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer));
        value->ItemType = TWTY_UINT16;
        value->Item = mechanism;
        GlobalUnlock(cap.hContainer);
        ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_CAPABILITY, MSG_SET, &cap));
        GlobalFree(cap.hContainer);
    }

    // The user steps to each picture in turn and selects it (and presses OK).
    void select(const std::vector<uint16_t>& pictures)
    {
        for (uint16_t number : pictures) {
            for (uint32_t steps = 0; g_camera.currentPicture != number && steps <= g_camera.pictureCount; ++steps)
                command(IDC_NEXT);
            command(IDC_SELECT);
        }
    }
    void selectAndOk(const std::vector<uint16_t>& pictures)
    {
        select(pictures);
        command(IDC_OK);
    }

    // Starts anew with the source closed and nothing connected, as a fresh application would.
    void restart()
    {
        TearDown();
        SetUp();
    }

    TW_UINT16 native(TW_HANDLE* handle)
    {
        return session.call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, handle);
    }
    TW_UINT16 strip(TW_IMAGEMEMXFER* strip) { return session.call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, strip); }
    TW_UINT16 endTransfer()
    {
        TW_PENDINGXFERS pending = {};
        EXPECT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        return pending.Count;
    }

    // One picture by memory transfer with buffers of `rowsPerBuffer` rows, checking each strip.
    Picture memoryPicture(uint32_t rowsPerBuffer = 16)
    {
        TW_IMAGEINFO info = {};
        EXPECT_EQ(TWRC_SUCCESS, session.call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
        Picture picture{static_cast<uint32_t>(info.ImageWidth), static_cast<uint32_t>(info.ImageLength), {}};
        const uint32_t bytesPerRow = picture.width * 3;
        std::vector<uint8_t> buffer(bytesPerRow * rowsPerBuffer + 7, 0xEE);
        for (int strips = 0; strips < 10000; ++strips) {
            std::fill(buffer.begin(), buffer.end(), 0xEE);
            TW_IMAGEMEMXFER block = {};
            block.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
            const TW_UINT16 rc = strip(&block);
            if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
                ADD_FAILURE() << "strip " << strips << " answered " << rc;
                break;
            }
            const uint32_t rowsLeft = picture.height - picture.rgb.size() / bytesPerRow;
            EXPECT_EQ(std::min({16u, rowsPerBuffer, rowsLeft}), block.Rows);
            EXPECT_EQ(bytesPerRow, block.BytesPerRow);
            EXPECT_EQ(picture.width, block.Columns);
            EXPECT_EQ(picture.rgb.size() / bytesPerRow, block.YOffset);
            EXPECT_EQ(block.Rows * bytesPerRow, block.BytesWritten);
            EXPECT_EQ(0xEE, buffer[block.BytesWritten]) << "nothing written past the strip";
            picture.rgb.insert(picture.rgb.end(), buffer.begin(), buffer.begin() + block.BytesWritten);
            if (rc == TWRC_XFERDONE) break;
        }
        EXPECT_EQ(size_t(picture.width) * picture.height * 3, picture.rgb.size());
        return picture;
    }

    Picture nativePicture()
    {
        TW_HANDLE handle = nullptr;
        EXPECT_EQ(TWRC_XFERDONE, native(&handle));
        Picture picture = pictureOfDib(handle);
        EXPECT_EQ(nullptr, GlobalFree(handle)) << "the application owns the bitmap";
        return picture;
    }

    // The texts of the source's message boxes (the recorder also sees the progress dialogs).
    std::vector<std::string> errorBoxes() const
    {
        std::vector<std::string> texts;
        for (const RecordedBox& box : boxes.boxes())
            if (box.caption == "MELVO DIGITAL CAMERA ERROR") texts.push_back(box.text);
        return texts;
    }

    void expectTemporaryDirectoryEmpty()
    {
        EXPECT_TRUE(folderEntries(temporary).empty()) << "left behind: " << folderEntries(temporary).at(0);
    }

    MessageBoxRecorder boxes;  // every box is recorded and dismissed
    CameraFolders folders;
    std::string temporary;
    std::string previousTmp;
    // The settings file is the prefix's: kept aside and put back.
    KeptFile settings{settingsFilePath()};
};

TEST_F(Transfers, LxOneAndTwoPicturesArriveWholeInListOrderByBothMechanisms)
{
    const Picture reference = formulaPicture(641, 479);
    for (int family : {1, 2}) {
        for (TW_UINT16 mechanism : {TWSX_NATIVE, TWSX_MEMORY}) {
            SCOPED_TRACE("LX-" + std::to_string(family) + (mechanism == TWSX_MEMORY ? " memory" : " native"));
            connect(family, mechanism, {"k4i_17x9.k4i", "k4i_1x1.k4i", "k4i_o1.k4i"});
            selectAndOk({3, 1});
            ASSERT_EQ(STATE_XFER_READY, g_source.state);
            const Picture first = mechanism == TWSX_MEMORY ? memoryPicture() : nativePicture();
            EXPECT_EQ(reference.rgb, first.rgb);
            EXPECT_EQ(1, endTransfer());
            EXPECT_EQ(118, currentXResolution().Whole) << "11811 pixels per metre";
            EXPECT_EQ(59, currentYResolution().Whole);
            const Picture second = mechanism == TWSX_MEMORY ? memoryPicture() : nativePicture();
            EXPECT_EQ(formulaPicture(17, 9).rgb, second.rgb);
            EXPECT_EQ(0, endTransfer());
            if (mechanism == TWSX_NATIVE) {
                TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(0xDEAD);
                EXPECT_EQ(TWRC_CANCEL, native(&handle));
                EXPECT_EQ(nullptr, handle);
                EXPECT_EQ(STATE_XFER_READY, g_source.state);
            } else {
                EXPECT_EQ(STATE_ENABLED, g_source.state) << "the last strip found no further picture";
            }
            EXPECT_TRUE(errorBoxes().empty());
            expectTemporaryDirectoryEmpty();
            const std::vector<std::string> log = folders.log(1);
            EXPECT_EQ(2, std::count_if(log.begin(), log.end(), [](const std::string& line) {
                          return line.rfind("getpicture", 0) == 0;
                      }));
            restart();
        }
    }
}

// Only announced pictures are delivered: a picture the user selects after OK is not acquired by a
// further transfer, stays selected, and arrives after the next OK, by either mechanism.
TEST_F(Transfers, APictureSelectedAfterOkWaitsForTheNextOk)
{
    for (TW_UINT16 mechanism : {TWSX_NATIVE, TWSX_MEMORY}) {
        SCOPED_TRACE(mechanism == TWSX_MEMORY ? "memory" : "native");
        const auto picture = [&] { return mechanism == TWSX_MEMORY ? memoryPicture() : nativePicture(); };
        const auto downloads = [&] {
            const std::vector<std::string> log = folders.log(1);
            return std::count_if(log.begin(), log.end(),
                                 [](const std::string& line) { return line.rfind("getpicture", 0) == 0; });
        };
        connect(1, mechanism, {"k4i_17x9.k4i", "k4i_1x1.k4i", "k4i_o1.k4i"});
        selectAndOk({1, 2});
        select({3});
        EXPECT_EQ(formulaPicture(17, 9).rgb, picture().rgb);
        EXPECT_EQ(1, endTransfer());
        EXPECT_EQ(formulaPicture(1, 1).rgb, picture().rgb);
        EXPECT_EQ(0, endTransfer());
        if (mechanism == TWSX_NATIVE) {
            TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(0xDEAD);
            EXPECT_EQ(TWRC_CANCEL, native(&handle));
            EXPECT_EQ(nullptr, handle);
            EXPECT_EQ(TWRC_CANCEL, native(nullptr)) << "no handle variable";
        } else {
            EXPECT_EQ(STATE_ENABLED, g_source.state) << "the last announced picture acquires no other";
        }
        EXPECT_EQ(2, downloads());
        EXPECT_EQ(1, pictureListCount()) << "picture 3 is still selected";
        EXPECT_TRUE(errorBoxes().empty());

        command(IDC_OK);
        ASSERT_EQ(STATE_XFER_READY, g_source.state);
        EXPECT_EQ(1, pendingCount());
        EXPECT_EQ(formulaPicture(641, 479).rgb, picture().rgb);
        EXPECT_EQ(0, endTransfer());
        EXPECT_EQ(3, downloads());
        restart();
    }
}

TEST_F(Transfers, StripsOfOddSizesMatchTheWholePicture)
{
    // Widths whose rows need 0 to 3 bytes of padding; heights below, at and past 16 rows.
    const std::vector<std::string> samples = {"odd_17x9.jpg", "tiny_1x1.jpg", "portrait_300x400.jpg",
                                              "exif_o6.jpg", "jfif_640x480.jpg", "gray_33x20.jpg"};
    const std::vector<uint16_t> all = {1, 2, 3, 4, 5, 6};
    connect(3, TWSX_NATIVE, samples);
    selectAndOk(all);
    std::vector<Picture> whole;
    for (size_t i = 0; i < samples.size(); ++i) {
        whole.push_back(nativePicture());
        endTransfer();
    }
    EXPECT_LT(meanDifference(formulaPicture(300, 400), whole[2]), 3.0);
    EXPECT_LT(meanDifference(formulaPicture(641, 479), whole[3]), 3.0) << "orientation 6 turned upright";
    EXPECT_LT(meanDifference(formulaPicture(640, 480), whole[4]), 3.0);

    restart();
    connect(3, TWSX_MEMORY, samples);
    for (uint32_t rowsPerBuffer : {16u, 5u}) {
        SCOPED_TRACE("buffers of " + std::to_string(rowsPerBuffer) + " rows");
        selectAndOk(all);
        for (size_t i = 0; i < samples.size(); ++i) {
            const Picture strips = memoryPicture(rowsPerBuffer);
            EXPECT_EQ(whole[i].width, strips.width) << samples[i];
            EXPECT_EQ(whole[i].height, strips.height) << samples[i];
            EXPECT_TRUE(whole[i].rgb == strips.rgb) << samples[i];
            endTransfer();
        }
        // An LX-3 selection ends like the others: no picture 0 asked of the camera, no box,
        // the link still open.
        EXPECT_EQ(STATE_ENABLED, g_source.state);
        EXPECT_TRUE(errorBoxes().empty());
        EXPECT_TRUE(cameraConnected());
    }
    for (const std::string& line : folders.log(1)) EXPECT_EQ(std::string::npos, line.find("getpicture n=0")) << line;
}

TEST_F(Transfers, MemoryBuffersAreRespected)
{
    connect(1, TWSX_MEMORY, {"k4i_17x9.k4i"});
    selectAndOk({1});
    // OK acquired the picture, so its size is known before the first strip.
    TW_IMAGELAYOUT layout = {};
    ASSERT_EQ(TWRC_SUCCESS, session.call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout));
    EXPECT_EQ(17, layout.Frame.Right.Whole);
    EXPECT_EQ(9, layout.Frame.Bottom.Whole);
    TW_SETUPMEMXFER setup = {};
    ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_SETUPMEMXFER, MSG_GET, &setup));
    EXPECT_EQ(17u * 9 * 3, setup.Preferred);
    std::vector<uint8_t> buffer(17 * 3 * 16, 0xEE);

    // Not one row fits: nothing is written and nothing moves on.
    TW_IMAGEMEMXFER block = {};
    block.Memory = {TWMF_APPOWNS | TWMF_POINTER, 17 * 3 - 1, buffer.data()};
    EXPECT_EQ(TWRC_FAILURE, strip(&block));
    EXPECT_EQ(TWCC_BADVALUE, session.conditionCode());
    EXPECT_EQ(0xEE, buffer[0]);

    // A global handle as the buffer: locked for the copy, rows as many as fit.
    HGLOBAL handle = GlobalAlloc(GHND, 17 * 3 * 4 + 2);
    block.Memory = {TWMF_APPOWNS | TWMF_HANDLE, 17 * 3 * 16, handle};
    ASSERT_EQ(TWRC_SUCCESS, strip(&block));
    EXPECT_EQ(4u, block.Rows) << "the handle's block holds 4 rows, whatever Length says";
    EXPECT_EQ(0u, block.YOffset);
    const auto* rows = static_cast<const uint8_t*>(GlobalLock(handle));
    const Picture reference = formulaPicture(17, 9);
    EXPECT_TRUE(std::equal(reference.rgb.begin(), reference.rgb.begin() + 17 * 3 * 4, rows));
    GlobalUnlock(handle);
    GlobalFree(handle);

    block.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
    ASSERT_EQ(TWRC_XFERDONE, strip(&block));
    EXPECT_EQ(5u, block.Rows);
    EXPECT_EQ(4u, block.YOffset);
    EXPECT_TRUE(std::equal(reference.rgb.begin() + 17 * 3 * 4, reference.rgb.end(), buffer.begin()));
}

TEST_F(Transfers, MemoryTransferWithoutAHeldPictureIsASequenceError)
{
    for (TW_UINT16 mechanism : {TWSX_NATIVE, TWSX_MEMORY}) {
        connect(3, mechanism, {"odd_17x9.jpg", "odd_17x9.jpg"});
        selectAndOk({1});
        std::vector<uint8_t> buffer(4096);
        TW_IMAGEMEMXFER block = {};
        block.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
        if (mechanism == TWSX_MEMORY) {
            // Picture 1 delivered and freed; picture 2 announced, then dropped by MSG_RESET.
            ASSERT_EQ(TWRC_XFERDONE, strip(&block));
            selectAndOk({2});
            TW_PENDINGXFERS pending = {};
            ASSERT_EQ(TWRC_SUCCESS, session.control(DAT_PENDINGXFERS, MSG_RESET, &pending));
            notifyTransferReady();
        }
        boxes.clear();
        EXPECT_EQ(TWRC_FAILURE, strip(&block));
        EXPECT_EQ(TWCC_SEQERROR, session.conditionCode());
        EXPECT_EQ(std::vector<std::string>{"Twain error.\nGeneral failure in DAT_IMAGEMEMXFER.  DG DAT MSG is out of "
                                           "expected sequence.(b)"},
                  errorBoxes());
        const std::vector<std::string> log = folders.log(1);
        EXPECT_EQ(mechanism == TWSX_MEMORY ? 2 : 0, std::count_if(log.begin(), log.end(), [](const std::string& line) {
                      return line.rfind("getpicture", 0) == 0;
                  }));
        restart();
    }
}

// Presses Cancel in the progress dialog once the dialog with the given title is up.
void cancelWhenShown(TestWindows& windows, const std::string& title)
{
    windows.postAction([&windows, title] {
        char text[64] = "";
        GetWindowTextA(progressDialog(), text, sizeof text);
        if (title == text) PostMessageA(progressDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        else cancelWhenShown(windows, title);
    });
}

TEST_F(Transfers, CancelInTheProgressDialogEndsTheTransfersQuietly)
{
    struct Case {
        int family;
        const char* sample;
        const char* dialog;
        TW_UINT16 mechanism;
        TW_UINT16 expected;
    };
    const Case cases[] = {
        {1, "k4i_o1.k4i", "Now Loading ...", TWSX_NATIVE, TWRC_CANCEL},
        {2, "k4i_o1.k4i", "Changing Image Data...", TWSX_MEMORY, TWRC_XFERDONE},
        {3, "exif_o1.jpg", "Now Loading ...", TWSX_MEMORY, TWRC_XFERDONE},
        {3, "exif_o1.jpg", "Changing Image Data...", TWSX_NATIVE, TWRC_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sample) + " cancelled in " + c.dialog);
        connect(c.family, c.mechanism, {c.family == 3 ? "odd_17x9.jpg" : "k4i_17x9.k4i", c.sample, c.sample});
        // A memory transfer holds picture 1 from OK on and fetches 2 at its last strip.
        selectAndOk(c.mechanism == TWSX_MEMORY ? std::vector<uint16_t>{1, 2, 3} : std::vector<uint16_t>{2, 3});
        TestWindows windows;
        cancelWhenShown(windows, c.dialog);
        if (c.mechanism == TWSX_MEMORY) {
            TW_IMAGEMEMXFER block = {};
            std::vector<uint8_t> buffer(17 * 3 * 16);
            block.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
            EXPECT_EQ(c.expected, strip(&block));
        } else {
            TW_HANDLE handle = nullptr;
            EXPECT_EQ(c.expected, native(&handle));
            EXPECT_EQ(nullptr, handle);
        }
        EXPECT_EQ(TWCC_OPERATIONERROR, session.conditionCode());
        EXPECT_TRUE(errorBoxes().empty()) << errorBoxes().at(0);
        EXPECT_TRUE(cameraConnected()) << "a cancel is no camera failure";
        EXPECT_EQ(2, g_camera.currentPicture) << "the picture that was being fetched";
        EXPECT_EQ(0, pendingCount());
        EXPECT_EQ(0, endTransfer());
        expectTemporaryDirectoryEmpty();
        restart();
    }
}

TEST_F(Transfers, CameraFailuresFallBackAndSkippedPicturesArePassedOver)
{
    // Picture 1 is skipped by the camera, 2 holds no K4I part, 3 arrives, 4 breaks off.
    connect(2, TWSX_NATIVE, {"k4i_17x9.k4i", "k4i_17x9.k4i", "k4i_1x1.k4i", "k4i_17x9.k4i"},
            "picture.1=ff64\r\nnodata.2=1\r\nfailat.4=50,ff20\r\n");
    ASSERT_TRUE(fileListInsert(FILE_KIND_EXIF, "listed.jpg"));
    selectAndOk({1, 2, 3, 4});
    EXPECT_EQ(formulaPicture(1, 1).rgb, nativePicture().rgb);
    EXPECT_EQ(3, endTransfer());
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(TWRC_CANCEL, native(&handle));
    EXPECT_EQ(TWCC_OPERATIONERROR, session.conditionCode());
    EXPECT_EQ(std::vector<std::string>{"Communication failure.\nPlease reset the camera.(ff20)"}, errorBoxes());
    EXPECT_FALSE(cameraConnected());
    EXPECT_EQ("close -> 0", folders.log(1).back());
    EXPECT_NE(nullptr, GetDlgItem(window(), IDC_MODEL)) << "back on the option page";
    EXPECT_EQ(0, pendingCount());
    EXPECT_EQ(0, pictureListCount());
    EXPECT_TRUE(fileList().empty()) << "a failed camera acquisition releases the file list";
    expectTemporaryDirectoryEmpty();
}

// The file browser's side, with the file list as its OK leaves it: the selected files of the
// announced kind, in list order, relative to the current directory.
TEST_F(Transfers, SelectedFilesOfTheAnnouncedKindArriveInListOrder)
{
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(SAMPLES_DIR));
    for (const char* name : {"k4i_17x9.k4i", "k4i_o8.k4i", "k4i_1x1.k4i", "missing.k4i"}) ASSERT_TRUE(fileListInsert(FILE_KIND_K4I, name));
    ASSERT_TRUE(fileListInsert(FILE_KIND_EXIF, "odd_17x9.jpg"));
    const auto announce = [](std::initializer_list<const char*> names) {
        for (FileEntry& entry : fileList())
            entry.selected = std::find_if(names.begin(), names.end(), [&](const char* n) { return entry.name == n; }) != names.end();
        g_transfer.origin = ORIGIN_FILE_BROWSER;
        g_transfer.fileKind = FILE_KIND_K4I;
        pendingAnnounce(fileListCountSelected(FILE_KIND_K4I));
        g_transfer.imageInfoMarker = 0;
        notifyTransferReady();
    };
    ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
    announce({"k4i_o8.k4i", "k4i_17x9.k4i", "odd_17x9.jpg"});
    EXPECT_EQ(2, pendingCount());
    EXPECT_EQ(formulaPicture(17, 9).rgb, nativePicture().rgb);
    endTransfer();
    EXPECT_EQ(formulaPicture(641, 479).rgb, nativePicture().rgb) << "orientation 8 turned upright";
    endTransfer();
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(TWRC_CANCEL, native(&handle)) << "the selected Exif file is not of the announced kind";
    EXPECT_TRUE(errorBoxes().empty());

    // A file that cannot be read; then a decode the user cancels, which clears the selection.
    announce({"missing.k4i"});
    EXPECT_EQ(TWRC_FAILURE, native(&handle));
    EXPECT_EQ(TWCC_OPERATIONERROR, session.conditionCode());
    EXPECT_EQ(std::vector<std::string>{"Twain error.\nFile read error.  An operation error just occurred.(5)"},
              errorBoxes());
    boxes.clear();
    announce({"k4i_o8.k4i", "k4i_1x1.k4i"});
    {
        TestWindows windows;
        cancelWhenShown(windows, "Changing Image Data...");
        EXPECT_EQ(TWRC_CANCEL, native(&handle));
    }
    EXPECT_EQ(TWCC_OPERATIONERROR, session.conditionCode());
    EXPECT_EQ(0, pendingCount());
    EXPECT_EQ(0, fileListCountSelected(FILE_KIND_K4I));
    EXPECT_TRUE(errorBoxes().empty()) << "a cancel is a quiet stop";
    fileListRelease();
    SetCurrentDirectoryA(previous);
}

TEST_F(Transfers, ALibraryThatSendsNoEndCodeLeavesNoDialogBehind)
{
    connect(1, TWSX_MEMORY, {"k4i_17x9.k4i", "k4i_1x1.k4i"}, "noend=1\r\n");
    selectAndOk({1, 2});
    EXPECT_EQ(formulaPicture(17, 9).rgb, memoryPicture().rgb);
    endTransfer();
    EXPECT_EQ(formulaPicture(1, 1).rgb, memoryPicture().rgb);
    EXPECT_EQ(nullptr, progressDialog());
    EXPECT_TRUE(IsWindowEnabled(window())) << "the camera window is usable again";
    EXPECT_TRUE(errorBoxes().empty());
}

TEST_F(Transfers, UndecodableCameraDataIsACameraFailure)
{
    connect(3, TWSX_NATIVE, {"odd_17x9.jpg"}, "", {"not a JPEG at all"});
    selectAndOk({2, 1});
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(TWRC_CANCEL, native(&handle));
    EXPECT_EQ(TWCC_OPERATIONERROR, session.conditionCode());
    EXPECT_EQ(std::vector<std::string>{"Communication failure.\nPlease reset the camera.(3)"}, errorBoxes());
    EXPECT_EQ(0, pictureListCount()) << "a failed acquisition empties the selection";
    EXPECT_FALSE(cameraConnected());
}

// ---- Decoding ---------------------------------------------------------------------------------

TEST(Decoding, ResolutionsArePixelsPerCentimetreRoundedToSixDecimalsThenCut)
{
    const struct {
        float value;
        TW_INT16 whole;
    } cases[] = {{118.11f, 118}, {39.37f, 39}, {28.35f, 28}, {0.01f, 0}, {99.9999995f, 100}, {-3.5f, -3}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.whole, floatToFix32(c.value).Whole) << c.value;
        EXPECT_EQ(0, floatToFix32(c.value).Frac);
    }
}

class DecodingFiles : public SourceTest {
protected:
    TW_UINT16 currentUnits()
    {
        TW_CAPABILITY cap = {ICAP_UNITS, TWON_DONTCARE16, nullptr};
        EXPECT_EQ(TWRC_SUCCESS, session.control(DAT_CAPABILITY, MSG_GETCURRENT, &cap));
        TW_ONEVALUE value = {};
        if (cap.hContainer) {
            value = *static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer));
            GlobalUnlock(cap.hContainer);
            GlobalFree(cap.hContainer);
        }
        return static_cast<TW_UINT16>(value.Item);
    }
    void SetUp() override
    {
        SourceTest::SetUp();
        ASSERT_EQ(TWRC_SUCCESS, session.open());
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(SAMPLES_DIR);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous);
        SourceTest::TearDown();
    }
    char previous[MAX_PATH] = "";
};

TEST_F(DecodingFiles, ChecksAcceptOnlyUsablePicturesOfTheirKind)
{
    const struct {
        const char* name;
        int exif;
        int k4i;
    } cases[] = {{"exif_o1.jpg", 1, 0}, {"k4i_o1.k4i", 0, 1}, {"k4i_other_kind.k4i", 0, 0},
                 {"MANIFEST.txt", 0, 0}, {"no_such_file.jpg", 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.exif, checkExifFile(c.name)) << c.name;
        EXPECT_EQ(c.k4i, checkK4iFile(c.name)) << c.name;
    }
}

TEST_F(DecodingFiles, ThumbnailsOfBothKindsAndNoneOfOtherKinds)
{
    MessageBoxRecorder boxes;
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const struct {
        uint16_t kind;
        const char* name;
        int made;
    } cases[] = {{FILE_KIND_EXIF, "exif_o6.jpg", 1}, {FILE_KIND_K4I, "k4i_o3.k4i", 1}, {2, "exif_o1.jpg", 0},
                 {FILE_KIND_EXIF, "k4i_o1.k4i", 0},  {FILE_KIND_K4I, "no_such_file.k4i", 0}};
    for (const auto& c : cases) {
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
        EXPECT_EQ(c.made, makeThumbnailBitmap(window, c.kind, &bitmap, c.name)) << c.name;
        BITMAP facts = {};
        if (c.made) {
            ASSERT_NE(0, GetObjectA(bitmap, sizeof facts, &facts));
            EXPECT_EQ(96, facts.bmWidth);
            EXPECT_EQ(72, facts.bmHeight);
            DeleteObject(bitmap);
        } else {
            EXPECT_EQ(nullptr, bitmap);
        }
    }
    EXPECT_TRUE(boxes.boxes().empty());
    DestroyWindow(window);
}

TEST_F(DecodingFiles, WholeDecodesTakeThePictureFacts)
{
    // A picture with resolution: units centimetres, 300 x 150 dpi.
    DecodedPicture picture;
    ASSERT_EQ(0, decodeK4iFile(&picture, "k4i_o6.k4i"));
    takePictureFacts(picture.facts);
    EXPECT_EQ(641, g_transfer.picture.width) << "stored turned, delivered upright";
    EXPECT_EQ(641u * 479 * 3, g_transfer.bytesRemaining);
    EXPECT_EQ(59, currentXResolution().Whole) << "the axes are swapped with the picture";
    EXPECT_EQ(118, currentYResolution().Whole);
    EXPECT_EQ(TWUN_CENTIMETERS, currentUnits());
    GlobalFree(picture.bitmap);
    // None: units pixels, the resolutions stay.
    ASSERT_EQ(0, decodeExifFile(&picture, "jfif_640x480.jpg"));
    takePictureFacts(picture.facts);
    EXPECT_EQ(640u * 480 * 3, g_transfer.bytesRemaining);
    EXPECT_EQ(59, currentXResolution().Whole);
    EXPECT_EQ(TWUN_PIXELS, currentUnits());
    GlobalFree(picture.bitmap);
    // A failed decode hands back no picture and no facts.
    picture.bitmap = reinterpret_cast<HGLOBAL>(1);
    EXPECT_EQ(EXIF_ERR_NOT_FOUND, decodeExifFile(&picture, "no_such_file.jpg"));
    EXPECT_EQ(nullptr, picture.bitmap);
    EXPECT_EQ(0, picture.facts.width);
}

}  // namespace
