// Contract of the three simulated camera libraries, called through the same import libraries
// (by ordinal) as the data source: codes, ownership of the data, the records, the progress
// protocol with cancel, the faults of camera.ini and the calls log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "camera_folder.h"
#include "camsim.h"
#include "../../../standins/common/camera_data.h"
#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "win32/maker/vx3cm32.h"

namespace {

// ---- Progress recording -------------------------------------------------------------------

struct ProgressCall {
    int code;
    int value;
};

std::vector<ProgressCall> g_calls;
int g_stopAtCode = 0;      // answer -1 to this code ...
int g_stopAtValue = -1;    // ... with this value (any value for begin)
DWORD g_lastUserData = 0;

int record(int code, int value) {
    g_calls.push_back({code, value});
    if (code == g_stopAtCode && (code == PROGRESS_BEGIN || value == g_stopAtValue)) return PROGRESS_HALT;
    return PROGRESS_GO_ON;
}

int WINAPI recordTwo(int code, int value) {
    return record(code, value);
}

int WINAPI recordThree(int code, int value, DWORD userData) {
    g_lastUserData = userData;
    return record(code, value);
}

void resetProgress(int stopAtCode = 0, int stopAtValue = -1) {
    g_calls.clear();
    g_stopAtCode = stopAtCode;
    g_stopAtValue = stopAtValue;
    g_lastUserData = 0;
}

std::vector<int> percentages() {
    std::vector<int> values;
    for (const ProgressCall& call : g_calls)
        if (call.code == PROGRESS_PERCENT) values.push_back(call.value);
    return values;
}

// Begin first, end last, nothing else but percentages in between.
void expectFramedProtocol() {
    ASSERT_GE(g_calls.size(), 2u);
    EXPECT_EQ(PROGRESS_BEGIN, g_calls.front().code);
    EXPECT_EQ(PROGRESS_END, g_calls.back().code);
    for (size_t i = 1; i + 1 < g_calls.size(); ++i) EXPECT_EQ(PROGRESS_PERCENT, g_calls[i].code);
}

// ---- Calls ------------------------------------------------------------------------------

uint16_t openLx1(int32_t port, int32_t bps = 19200) {
    return vx1_camOpen(port, bps, 8, 0, 0, 1, 0);
}

uint16_t openLx2(int32_t port, int32_t bps = 115200) {
    return vx2_camOpen(&port, &bps);
}

uint16_t openLx3(CameraHandle* handle, int32_t port, int32_t speedCode = LX3_SPEED_115200, uint8_t model = 3) {
    uint16_t ignoredA = 0, ignoredB = 0;
    return vx3_camOpen(handle, &port, &speedCode, &model, &ignoredA, &ignoredB);
}

struct Download {
    uint16_t code;
    HGLOBAL data;
    uint32_t size;
};

Download getLx1(uint16_t n) {
    Download d = {0, reinterpret_cast<HGLOBAL>(1), 1};
    BYTE info[16];
    d.code = vx1_camGetPicture(nullptr, n, &d.data, &d.size, info, 1, 1, recordTwo);
    return d;
}

Download getLx2(uint16_t n) {
    Download d = {0, reinterpret_cast<HGLOBAL>(1), 1};
    BYTE info[16];
    d.code = vx2_camGetPicture(nullptr, n, &d.data, &d.size, info, 1, 1, recordTwo);
    return d;
}

Download getLx3(CameraHandle handle, uint16_t n) {
    BYTE scratch[PICTURE_REQUEST_SCRATCH_SIZE];
    PICTURE_REQUEST request = {n, 0, scratch, reinterpret_cast<HGLOBAL>(1), 1};
    PROGRESS_HOOK hook = {recordThree, 1};
    uint16_t code = vx3_camGetPicture(handle, &request, 1, &hook);
    return {code, request.data, request.dataSize};
}

// Contents of a handed-out block; also checks that the block is movable, unlocked and really
// the caller's to free.
std::string takeBlock(HGLOBAL data, uint32_t size) {
    EXPECT_NE(nullptr, data);
    if (!data) return "";
    EXPECT_EQ(0u, GlobalFlags(data) & GMEM_LOCKCOUNT) << "handed out locked";
    EXPECT_GE(GlobalSize(data), size);
    void* bytes = GlobalLock(data);
    EXPECT_NE(bytes, static_cast<void*>(data)) << "a fixed block is not a movable one";
    std::string copy(static_cast<const char*>(bytes), size);
    GlobalUnlock(data);
    EXPECT_EQ(nullptr, GlobalFree(data));
    return copy;
}

uint32_t u32At(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
           static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

// Parts of a camera data container by kind; fails the test on a malformed container.
std::map<uint32_t, std::string> cameraDataParts(const std::string& data) {
    std::map<uint32_t, std::string> parts;
    EXPECT_GE(data.size(), CAMERA_DATA_HEADER_SIZE);
    if (data.size() < CAMERA_DATA_HEADER_SIZE) return parts;
    EXPECT_EQ(0, std::memcmp(data.data(), CAMERA_DATA_MAGIC, 4));
    EXPECT_EQ(CAMERA_DATA_VERSION, static_cast<uint8_t>(data[4]) | static_cast<uint8_t>(data[5]) << 8);
    unsigned count = static_cast<uint8_t>(data[6]) | static_cast<uint8_t>(data[7]) << 8;
    size_t at = CAMERA_DATA_HEADER_SIZE;
    for (unsigned i = 0; i < count; ++i) {
        EXPECT_LE(at + CAMERA_PART_HEADER_SIZE, data.size());
        if (at + CAMERA_PART_HEADER_SIZE > data.size()) return parts;
        uint32_t kind = u32At(data, at), size = u32At(data, at + 4);
        at += CAMERA_PART_HEADER_SIZE;
        EXPECT_LE(at + size, data.size());
        if (at + size > data.size()) return parts;
        EXPECT_EQ(0u, parts.count(kind)) << "kind " << kind << " twice";
        parts[kind] = data.substr(at, size);
        at += size;
    }
    EXPECT_EQ(at, data.size()) << "bytes after the last part";
    return parts;
}

// ---- Export tables ----------------------------------------------------------------------------

}  // namespace

// The import address table entries that the loader filled from the import libraries. 32-bit
// Windows decorates a stdcall name with an underscore and its argument bytes; 64-bit decorates nothing.
#ifdef _WIN64
#define IMPORT_ENTRY(name, argumentBytes) "__imp_" #name
#else
#define IMPORT_ENTRY(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif
extern "C" FARPROC g_importedGetCurrent __asm__(IMPORT_ENTRY(vx3_camGetCurrent, 8));
extern "C" FARPROC g_importedOpenLx2 __asm__(IMPORT_ENTRY(vx2_camOpen, 8));

namespace {

std::set<unsigned> exportedOrdinals(HMODULE module, DWORD* namedExports) {
    std::set<unsigned> ordinals;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    // The headers of this build's own architecture, which the library loaded here must have.
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
#ifdef _WIN64
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0) return ordinals;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    auto functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfFunctions; ++i)
        if (functions[i] != 0) ordinals.insert(exports->Base + i);
    *namedExports = exports->NumberOfNames;
    return ordinals;
}

TEST(CameraLibraryExports, EachLibraryExportsExactlyItsOrdinalsAndNoNames) {
    const struct {
        const char* file;
        std::set<unsigned> ordinals;
    } libraries[] = {
        {"VX1CM32.dll", {2, 3, 7, 8, 9, 17}},
        {"VX2CM32.dll", {2, 3, 4, 5, 6, 11, 13}},
        {"VX3CM32.dll", {1, 2, 4, 5, 9, 10, 11, 18}},
    };
    for (const auto& library : libraries) {
        HMODULE module = GetModuleHandleA(library.file);  // loaded through the import libraries
        ASSERT_NE(nullptr, module) << library.file;
        DWORD names = 99;
        EXPECT_EQ(library.ordinals, exportedOrdinals(module, &names)) << library.file;
        EXPECT_EQ(0u, names) << library.file;
    }
    // The import libraries bind by ordinal: the entry the data source calls is the export at
    // that ordinal.
    EXPECT_EQ(g_importedGetCurrent, GetProcAddress(GetModuleHandleA("VX3CM32.dll"), MAKEINTRESOURCEA(18)));
    EXPECT_EQ(g_importedOpenLx2, GetProcAddress(GetModuleHandleA("VX2CM32.dll"), MAKEINTRESOURCEA(13)));
}

// ---- Opening ------------------------------------------------------------------------------

class CameraLibrary : public ::testing::Test {
protected:
    void SetUp() override { resetProgress(); }
    void TearDown() override {
        vx1_camClose();
        vx2_camClose();
        if (lx3) vx3_camClose(lx3);
    }
    CameraFolders folders;
    CameraHandle lx3 = 0;
};

TEST_F(CameraLibrary, OpenFailsWithoutFolderOrForAnotherFamily) {
    EXPECT_EQ(CAMSIM_ERR_NO_CAMERA, openLx1(1));
    EXPECT_EQ(CAMSIM_ERR_NO_CAMERA, openLx2(1));
    EXPECT_EQ(CAMSIM_ERR_NO_CAMERA, openLx3(&lx3, 1));

    folders.makeCameraWithPictures(2, 3, {"a.jpg"});
    EXPECT_EQ(CAMSIM_ERR_WRONG_CAMERA, openLx1(2));
    EXPECT_EQ(CAMSIM_ERR_WRONG_CAMERA, openLx2(2));
    EXPECT_EQ(0, openLx3(&lx3, 2));
    EXPECT_NE(0u, lx3);

    // A camera.ini without a family is no camera of any family.
    folders.makeCamera(3, "[line]\r\nrealtime=0\r\n");
    EXPECT_NE(0, openLx1(3));

    int32_t count = 0;
    uint16_t current = 0;
    EXPECT_EQ(CAMSIM_ERR_NOT_OPEN, vx1_camGetStatus(&count, &current)) << "a failed open leaves the line closed";

    // Opens that find no camera are logged nowhere, also not into the last camera's folder.
    for (int32_t emptyPort : {9, 0}) {
        EXPECT_NE(0, openLx3(&lx3, emptyPort));
        EXPECT_NE(0, openLx2(emptyPort));
    }
    for (int port : {2, 3})
        for (const std::string& line : folders.log(port)) {
            EXPECT_EQ(std::string::npos, line.find("port=9")) << line;
            EXPECT_EQ(std::string::npos, line.find("port=0")) << line;
        }
}

TEST_F(CameraLibrary, FolderBesideTheLibraryWhenNoRootIsSet) {
    SetEnvironmentVariableA("CAMSIM_ROOT", nullptr);
    char path[MAX_PATH];
    GetModuleFileNameA(GetModuleHandleA("VX1CM32.dll"), path, sizeof path);
    const std::string camsim = "\\\\?\\" + std::string(path).substr(0, std::string(path).find_last_of('\\')) + "\\camsim";
    // A port nobody else uses: the demo keeps its cameras in this folder too.
    const std::string folder = camsim + "\\COM97";
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str())) << "left over from an earlier run?";
    CreateDirectoryA(camsim.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    writeFileBytes(folder + "\\camera.ini", "[camera]\nfamily=1\n");
    uint16_t code = openLx1(97);
    vx1_camClose();
    removeTree(folder);
    RemoveDirectoryA(camsim.c_str());  // only when nothing else is in it
    EXPECT_EQ(0, code);
}

TEST_F(CameraLibrary, LineSpeedsOfEachFamily) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i"});
    folders.makeCameraWithPictures(2, 2, {"a.k4i"});
    folders.makeCameraWithPictures(3, 3, {"a.jpg"});

    for (int32_t bps : {2400, 4800, 9600, 19200}) EXPECT_EQ(0, openLx1(1, bps)) << bps;
    for (int32_t bps : {38400, 115200, 1200, 0, -1}) EXPECT_EQ(CAMSIM_ERR_BAD_SPEED, openLx1(1, bps)) << bps;
    for (int32_t bps : {2400, 57600, 115200}) EXPECT_EQ(0, openLx2(2, bps)) << bps;
    for (int32_t bps : {230400, 1200}) EXPECT_EQ(CAMSIM_ERR_BAD_SPEED, openLx2(2, bps)) << bps;
    for (int32_t code : {0, 5, 7}) EXPECT_EQ(0, openLx3(&lx3, 3, code)) << code;
    for (int32_t code : {6, 8, -1}) EXPECT_EQ(CAMSIM_ERR_BAD_SPEED, openLx3(&lx3, 3, code)) << code;
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, openLx3(&lx3, 3, 7, 2)) << "model byte must be 3";
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, openLx2(0)) << "port 0";

    int32_t port = 3, speed = 7;
    uint8_t model = 3;
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, vx3_camOpen(nullptr, &port, &speed, &model, nullptr, nullptr));
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, vx2_camOpen(nullptr, &speed));
}

// ---- Position -----------------------------------------------------------------------------

TEST_F(CameraLibrary, PicturesWrapRoundInBothDirections) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i", "b.k4i", "c.k4i"});
    ASSERT_EQ(0, openLx1(1));
    int32_t count = 0;
    uint16_t current = 0;
    ASSERT_EQ(0, vx1_camGetStatus(&count, &current));
    EXPECT_EQ(3, count);
    EXPECT_EQ(1, current);
    std::vector<uint16_t> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(0, vx1_camNextPicture(&current));
        seen.push_back(current);
    }
    EXPECT_EQ((std::vector<uint16_t>{2, 3, 1}), seen);
    ASSERT_EQ(0, vx1_camPrevPicture(&current));
    EXPECT_EQ(3, current);
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, vx1_camNextPicture(nullptr));
}

TEST_F(CameraLibrary, Lx3PositionCountAndGoTo) {
    folders.makeCameraWithPictures(1, 3, {"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    ASSERT_EQ(0, openLx3(&lx3, 1));
    uint16_t count = 0, current = 0;
    EXPECT_EQ(0, vx3_camGetCount(lx3, &count));
    EXPECT_EQ(4, count);
    EXPECT_EQ(0, vx3_camGoToPicture(lx3, 3));
    EXPECT_EQ(0, vx3_camGetCurrent(lx3, &current));
    EXPECT_EQ(3, current);
    EXPECT_EQ(0, vx3_camPrevPicture(lx3, &current));
    EXPECT_EQ(2, current);
    EXPECT_EQ(CAMSIM_ERR_NO_SUCH_PICTURE, vx3_camGoToPicture(lx3, 0));
    EXPECT_EQ(CAMSIM_ERR_NO_SUCH_PICTURE, vx3_camGoToPicture(lx3, 5));
    EXPECT_EQ(0, vx3_camGetCurrent(lx3, &current));
    EXPECT_EQ(2, current) << "a refused go-to does not move the camera";
}

TEST_F(CameraLibrary, Lx3WithoutPicturesAnswersNoPicture) {
    folders.makeCameraWithPictures(1, 3, {});
    folders.makeCameraWithPictures(2, 3, {"a.jpg"}, "[faults]\r\nnopicture=1\r\n");
    for (int port : {1, 2}) {
        ASSERT_EQ(0, openLx3(&lx3, port));
        uint16_t current = 99;
        EXPECT_EQ(CAM_ERR_NOPICTURE, vx3_camGetCurrent(lx3, &current)) << port;
        EXPECT_EQ(0, current);
    }
    uint16_t count = 99;
    EXPECT_EQ(0, vx3_camGetCount(lx3, &count));
    EXPECT_EQ(1, count) << "nopicture changes only what camGetCurrent says";
}

TEST_F(CameraLibrary, Lx3RefusesAHandleOfAnEarlierConnection) {
    folders.makeCameraWithPictures(1, 3, {"a.jpg"});
    CameraHandle first = 0;
    ASSERT_EQ(0, openLx3(&first, 1));
    ASSERT_EQ(0, vx3_camClose(first));
    ASSERT_EQ(0, openLx3(&lx3, 1));
    EXPECT_NE(first, lx3);
    uint16_t count = 0;
    EXPECT_EQ(CAMSIM_ERR_BAD_HANDLE, vx3_camGetCount(first, &count));
    EXPECT_EQ(0, vx3_camGetCount(lx3, &count));
}

TEST_F(CameraLibrary, Lx2MediaAndCamerasThatCannotSwitch) {
    folders.makeCameraWithPictures(1, 2, {"c1.k4i", "c2.k4i"}, "medium=0\r\n");
    folders.addFile(1, "internal\\i1.k4i", "i1");
    folders.addFile(1, "internal\\i2.k4i", "i2");
    folders.addFile(1, "internal\\i3.k4i", "i3");
    ASSERT_EQ(0, openLx2(1));
    int32_t medium = -1, count = -1;
    uint16_t current = 0;
    ASSERT_EQ(0, vx2_camGetStatus(&medium, &count, &current));
    EXPECT_EQ(MEDIUM_INTERNAL, medium);
    EXPECT_EQ(3, count);
    ASSERT_EQ(0, vx2_camNextPicture(&current));
    EXPECT_EQ(2, current);

    ASSERT_EQ(0, vx2_camSetMedium(&medium, &current, &count, MEDIUM_CARD));
    EXPECT_EQ(MEDIUM_CARD, medium);
    EXPECT_EQ(2, count);
    EXPECT_EQ(1, current);
    Download d = getLx2(2);
    ASSERT_EQ(0, d.code);
    EXPECT_EQ("picture c2.k4i", cameraDataParts(takeBlock(d.data, d.size))[CAMERA_PART_K4I]);
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, vx2_camSetMedium(&medium, &current, &count, 2));

    folders.makeCameraWithPictures(2, 2, {"c1.k4i"}, "switchable=0\r\n");
    ASSERT_EQ(0, openLx2(2));
    ASSERT_EQ(0, vx2_camSetMedium(&medium, &current, &count, MEDIUM_INTERNAL));
    EXPECT_EQ(MEDIUM_CARD, medium) << "the medium written back is the one still in use";
    EXPECT_EQ(1, count);
    EXPECT_EQ(1, current);
}

// ---- Downloads ------------------------------------------------------------------------------

TEST_F(CameraLibrary, Lx3DownloadHandsTheFileBytesInACallerOwnedBlock) {
    std::string jpeg("\xFF\xD8\xFF\xE1 exif body \0\x01\x02 end \xFF\xD9", 26);
    folders.makeCamera(1, "[camera]\r\nfamily=3\r\n");
    folders.addFile(1, "internal\\P0001.jpg", "first");
    folders.addFile(1, "internal\\P0002.JPG", jpeg);
    ASSERT_EQ(0, openLx3(&lx3, 1));
    Download d = getLx3(lx3, 2);
    ASSERT_EQ(0, d.code);
    EXPECT_EQ(jpeg.size(), d.size);
    EXPECT_EQ(jpeg, takeBlock(d.data, d.size));

    expectFramedProtocol();
    std::vector<int> values = percentages();
    EXPECT_GE(values.size(), 10u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(0, values.front());
    EXPECT_EQ(100, values.back());
    EXPECT_EQ(1u, g_lastUserData) << "the hook's user value reaches the callback";
}

TEST_F(CameraLibrary, Lx1DownloadIsCameraDataWithTheK4iPartAndCompanions) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i", "b.k4i"}, "[faults]\r\nnodata.2=1\r\n");
    ASSERT_EQ(0, openLx1(1));
    Download d = getLx1(1);
    ASSERT_EQ(0, d.code);
    std::map<uint32_t, std::string> parts = cameraDataParts(takeBlock(d.data, d.size));
    EXPECT_EQ("picture a.k4i", parts[CAMERA_PART_K4I]);
    EXPECT_FALSE(parts[CAMERA_PART_K4S].empty());
    EXPECT_FALSE(parts[CAMERA_PART_REL].empty());
    expectFramedProtocol();

    d = getLx1(2);
    ASSERT_EQ(0, d.code) << "data without a picture is still data";
    parts = cameraDataParts(takeBlock(d.data, d.size));
    EXPECT_EQ(0u, parts.count(CAMERA_PART_K4I));
    EXPECT_EQ(1u, parts.count(CAMERA_PART_K4S));
}

TEST_F(CameraLibrary, PicturesAreOrderedByTheBytesOfTheirNames) {
    // Byte order, not the order of a case-blind or numeric sort.
    folders.makeCameraWithPictures(1, 1, {"b.k4i", "apple.k4i", "Zed.k4i", "P9.K4I", "P10.k4i", "c.k4ix", "d.txt"});
    folders.addFile(1, "card\\e.k4i\\inside.k4i", "a directory is no picture");
    ASSERT_EQ(0, openLx1(1));
    int32_t count = 0;
    uint16_t current = 0;
    ASSERT_EQ(0, vx1_camGetStatus(&count, &current));
    EXPECT_EQ(5, count);
    std::vector<std::string> order;
    for (uint16_t n = 1; n <= 5; ++n) {
        Download d = getLx1(n);
        ASSERT_EQ(0, d.code);
        order.push_back(cameraDataParts(takeBlock(d.data, d.size))[CAMERA_PART_K4I]);
    }
    EXPECT_EQ((std::vector<std::string>{"picture P10.k4i", "picture P9.K4I", "picture Zed.k4i", "picture apple.k4i",
                                        "picture b.k4i"}),
              order);
}

TEST_F(CameraLibrary, DownloadOfAPictureThatIsNotThereFailsWithoutProgress) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i"});
    ASSERT_EQ(0, openLx1(1));
    for (uint16_t n : {0, 2}) {
        resetProgress();
        Download d = getLx1(n);
        EXPECT_EQ(CAMSIM_ERR_NO_SUCH_PICTURE, d.code) << n;
        EXPECT_EQ(nullptr, d.data);
        EXPECT_EQ(0u, d.size);
        EXPECT_TRUE(g_calls.empty()) << "no dialog for a download that never starts";
    }
    HGLOBAL data = nullptr;
    EXPECT_EQ(CAMSIM_ERR_BAD_ARGUMENT, vx1_camGetPicture(nullptr, 1, &data, nullptr, nullptr, 1, 1, recordTwo));
    uint32_t size = 0;
    EXPECT_EQ(0, vx1_camGetPicture(nullptr, 1, &data, &size, nullptr, 1, 1, nullptr)) << "no callback, no info block";
    takeBlock(data, size);
}

TEST_F(CameraLibrary, CancelStopsTheDownloadAndStillSendsTheEnd) {
    folders.makeCameraWithPictures(1, 2, {"a.k4i"});
    folders.makeCameraWithPictures(2, 3, {"a.jpg"});
    ASSERT_EQ(0, openLx2(1));
    ASSERT_EQ(0, openLx3(&lx3, 2));

    resetProgress(PROGRESS_PERCENT, 30);
    Download d = getLx2(1);
    EXPECT_EQ(CAM_ERR_CANCELLED, d.code);
    EXPECT_EQ(nullptr, d.data);
    expectFramedProtocol();
    EXPECT_EQ(30, percentages().back()) << "no progress after the stop";

    resetProgress(PROGRESS_BEGIN);
    d = getLx3(lx3, 1);
    EXPECT_EQ(CAM_ERR_CANCELLED, d.code);
    EXPECT_EQ(nullptr, d.data);
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_EQ(PROGRESS_END, g_calls[1].code);
}

// ---- Faults -----------------------------------------------------------------------------------

TEST_F(CameraLibrary, FaultsOfCameraIni) {
    folders.makeCameraWithPictures(1, 1, {"a.k4i", "b.k4i", "c.k4i"},
                                   "[faults]\r\ngetstatus=ff10\r\npicture.2=FF64\r\nfailat.3=50, ff20\r\n");
    ASSERT_EQ(0, openLx1(1));
    int32_t count = 0;
    uint16_t current = 0;
    EXPECT_EQ(0xFF10, vx1_camGetStatus(&count, &current));
    EXPECT_EQ(0, vx1_camNextPicture(&current)) << "a fault hits only its operation";

    Download d = getLx1(2);
    EXPECT_EQ(CAM_ERR_SKIP, d.code);
    EXPECT_EQ(nullptr, d.data);
    d = getLx1(1);
    ASSERT_EQ(0, d.code);
    takeBlock(d.data, d.size);

    resetProgress();
    d = getLx1(3);
    EXPECT_EQ(0xFF20, d.code);
    EXPECT_EQ(nullptr, d.data);
    expectFramedProtocol();
    EXPECT_EQ(50, percentages().back());

    // Faults are read at every call, so a test can break a camera after connecting.
    folders.writeIni(1, "[camera]\r\nfamily=1\r\n[faults]\r\nnextpicture=0x1234\r\nclose=zz\r\n");
    EXPECT_EQ(0x1234, vx1_camNextPicture(&current));
    EXPECT_EQ(0, vx1_camClose()) << "a code that is no hex number is no fault";
}

TEST_F(CameraLibrary, FaultedOpenLeavesTheCameraClosed) {
    folders.makeCameraWithPictures(1, 3, {"a.jpg"}, "[faults]\r\nopen=ff30\r\n");
    EXPECT_EQ(0xFF30, openLx3(&lx3, 1));
    uint16_t count = 0;
    EXPECT_EQ(CAMSIM_ERR_NOT_OPEN, vx3_camGetCount(lx3, &count));
}

// ---- Calls log and line pacing --------------------------------------------------------------

TEST_F(CameraLibrary, EveryCallIsLoggedWithItsArgumentsAndCode) {
    folders.makeCameraWithPictures(1, 3, {"a.jpg", "b.jpg", "c.jpg"});
    folders.makeCameraWithPictures(2, 2, {"a.k4i"});
    ASSERT_EQ(0, openLx3(&lx3, 1));
    uint16_t value = 0;
    vx3_camGetCurrent(lx3, &value);
    vx3_camGetCount(lx3, &value);
    vx3_camGoToPicture(lx3, 2);
    vx3_camNextPicture(lx3, &value);
    resetProgress(PROGRESS_PERCENT, 10);
    getLx3(lx3, 3);
    vx3_camClose(lx3);
    lx3 = 0;
    EXPECT_EQ((std::vector<std::string>{"open port=1 speed=7 model=3 -> 0", "getcurrent -> 0", "getcount -> 0",
                                        "gotopicture n=2 -> 0", "nextpicture -> 0", "getpicture n=3 -> ff61",
                                        "close -> 0"}),
              folders.log(1));

    int32_t medium = 0, count = 0;
    uint16_t current = 0;
    openLx2(2, 4800);
    vx2_camSetMedium(&medium, &current, &count, 0);
    vx2_camPrevPicture(&current);
    EXPECT_EQ((std::vector<std::string>{"open port=2 speed=4800 -> 0", "setmedium medium=0 -> 0",
                                        "prevpicture -> 0"}),
              folders.log(2));
}

TEST_F(CameraLibrary, RealtimeCameraTakesTheLineTime) {
    folders.makeCamera(1, "[camera]\r\nfamily=1\r\n[line]\r\nrealtime=1\r\n");
    folders.addFile(1, "card\\a.k4i", std::string(200, 'x'));
    ASSERT_EQ(0, openLx1(1, 2400));
    DWORD started = GetTickCount();
    Download d = getLx1(1);
    DWORD elapsed = GetTickCount() - started;
    ASSERT_EQ(0, d.code);
    // Ten bits a byte at 2400 bits per second.
    const DWORD expected = d.size * 10 * 1000 / 2400;
    EXPECT_GE(elapsed + 50, expected);
    EXPECT_LT(elapsed, expected + 2000);
    takeBlock(d.data, d.size);

    folders.writeIni(1, "[camera]\r\nfamily=1\r\n");
    ASSERT_EQ(0, openLx1(1, 2400));
    started = GetTickCount();
    d = getLx1(1);
    EXPECT_LT(GetTickCount() - started, 500u) << "without realtime the line is not paced";
    takeBlock(d.data, d.size);
}

}  // namespace

namespace {

// The folder that ctest's make_camera_folder step built with tools/camsim/make_camera.py:
// LX-2 on COM1, internal memory in use with one picture, two on the card, next always failing.
TEST(CameraFolderFromTheTool, LibrariesReadWhatTheToolWrites) {
    char root[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("CAMSIM_TOOL_ROOT", root, sizeof root);
    if (length == 0 || length >= sizeof root) GTEST_SKIP() << "run through ctest, which builds the folder first";
    SetEnvironmentVariableA("CAMSIM_ROOT", root);
    int32_t port = 1, speed = 9600;
    ASSERT_EQ(0, vx2_camOpen(&port, &speed));
    int32_t medium = -1, count = 0;
    uint16_t current = 0;
    ASSERT_EQ(0, vx2_camGetStatus(&medium, &count, &current));
    EXPECT_EQ(MEDIUM_INTERNAL, medium);
    EXPECT_EQ(1, count);
    EXPECT_EQ(0xFF42, vx2_camNextPicture(&current));
    ASSERT_EQ(0, vx2_camSetMedium(&medium, &current, &count, MEDIUM_CARD));
    EXPECT_EQ(2, count);

    HGLOBAL data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(0, vx2_camGetPicture(nullptr, 1, &data, &size, nullptr, 1, 1, nullptr));
    std::string expected = readFileBytes(std::string(root) + "\\COM1\\card\\PICT0001.k4i");
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(expected, cameraDataParts(takeBlock(data, size))[CAMERA_PART_K4I]);
    vx2_camClose();
    SetEnvironmentVariableA("CAMSIM_ROOT", nullptr);
}

}  // namespace
