// Transfer benchmark, run under Wine: a 12-megapixel Exif JPEG on a simulated LX-3 camera, fetched
// through the data source as an application fetches it, against the bare work in the same process.
//  1. Native transfer: from the user's OK in the camera window to the bitmap in the application
//     (OK, the native transfer's camera download and decode), against a bare decode of the same
//     file by the same decoder (VXXIF32's exifDecodeMemory, no progress).
//  2. Memory transfer: every strip of the picture into a buffer of the size the source prefers,
//     against one memcpy of the same number of bytes.
// Prints the median milliseconds of each and the two ratios, and the native ratio less what the
// progress dialogs cost by themselves.
//   transfer_bench.exe <camera root> <picture.jpg> [runs]
// The camera root holds COM1 with the picture (bench/run-transfer-bench.sh makes it).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "camera/camera_connection.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/progress_dialog.h"
#include "picture_file.h"
#include "resources/resource_ids.h"
#include "stopwatch.h"
#include "twain/ds_entry.h"
#include "twain/source_lifetime.h"
#include "twain/source_state.h"
#include "win32/maker/vxxif32.h"

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void fail(const char* what)
{
    std::fprintf(stderr, "transfer_bench: %s\n", what);
    std::exit(1);
}

// The application's side: DS_Entry called as the source manager passes the calls on.
TW_IDENTITY g_app = [] {
    TW_IDENTITY identity = {};
    identity.Id = 1;
    lstrcpyA(identity.ProductName, "transfer_bench");
    return identity;
}();

TW_UINT16 call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
{
    return DS_Entry(&g_app, dg, dat, msg, data);
}

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void command(int id, WORD code = BN_CLICKED)
{
    HWND window = g_cameraWindow.window;
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// Opens and enables the source with the mechanism given, and connects the LX-3 camera on COM1
// from the option page, as a user does.
void startSession(TW_UINT16 mechanism)
{
    TW_IDENTITY source = {};
    source.Id = 2;
    if (call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source) != TWRC_SUCCESS) fail("MSG_OPENDS failed");
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
    auto* value = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer));
    value->ItemType = TWTY_UINT16;
    value->Item = mechanism;
    GlobalUnlock(cap.hContainer);
    if (call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap) != TWRC_SUCCESS) fail("ICAP_XFERMECH refused");
    GlobalFree(cap.hContainer);
    TW_USERINTERFACE ui = {TRUE, FALSE, nullptr};
    if (call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) fail("MSG_ENABLEDS failed");
    HWND model = GetDlgItem(g_cameraWindow.window, IDC_MODEL);
    SendMessageA(model, CB_SETCURSEL, 0, 0);  // "LX-3 / MLX-300"
    command(IDC_MODEL, CBN_CLOSEUP);
    SendMessageA(GetDlgItem(g_cameraWindow.window, IDC_PORT), CB_SETCURSEL, 0, 0);  // "COM1"
    command(IDC_PORT, CBN_CLOSEUP);
    HWND speed = GetDlgItem(g_cameraWindow.window, IDC_SPEED);
    SendMessageA(speed, CB_SETCURSEL, SPEED_INDEX_115200, 0);
    command(IDC_SPEED, CBN_CLOSEUP);
    command(IDC_CAMERA);
    if (!cameraConnected()) fail("the camera did not connect");
}

void endSession()
{
    TW_USERINTERFACE ui = {TRUE, FALSE, nullptr};
    call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
    pump();
}

// The user's click on SELECT, and the repainting it causes, which is over long before the
// user clicks OK.
void select()
{
    command(IDC_SELECT);
    pump();
}

void ok()
{
    command(IDC_OK);
    if (g_source.state != STATE_XFER_READY) fail("OK announced nothing");
}

void endTransfer()
{
    TW_PENDINGXFERS pending = {};
    call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    pump();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) fail("usage: transfer_bench.exe <camera root> <picture.jpg> [runs]");
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    SetEnvironmentVariableA("CAMSIM_ROOT", argv[1]);
    sourceAttach(GetModuleHandleA(nullptr));
    // An application talks to the source through the source manager, which it holds loaded:
    // the source's notifications find it in the process.
    HMODULE manager = LoadLibraryA("TWAIN_32.DLL");

    PictureFile picture;
    if (!loadPictureFile(argv[2], &picture)) fail("cannot read the picture");
    const std::vector<uint8_t>& file = picture.bytes;
    HGLOBAL data = picture.block;
    auto bareDecode = [&] {
        EXIF_OPTIONS whole = {8, 8, 1};
        EXIF_RESULT result = {};
        WORD orientation = 0;
        if (exifDecodeMemory(data, DWORD(file.size()), &result, &orientation, &whole, nullptr) != 0)
            fail("the bare decode failed");
        GlobalFree(result.bitmap);
        GlobalFree(result.extra);
    };

    // 1. Native: OK to the bitmap in the application.
    startSession(TWSX_NATIVE);
    std::vector<double> native, decode;
    long width = 0, height = 0;
    bareDecode();  // warm up: the heap, the code pages, the file cache of the camera folder
    for (int i = 0; i <= runs; ++i) {
        TW_HANDLE handle = nullptr;
        select();
        const double ms = milliseconds([&] {
            ok();
            if (call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) != TWRC_XFERDONE) fail("native transfer failed");
        });
        if (i > 0) native.push_back(ms);  // the first run warms the source up
        auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(handle));
        width = header->biWidth;
        height = header->biHeight;
        GlobalUnlock(handle);
        GlobalFree(handle);
        endTransfer();
        if (i > 0) decode.push_back(milliseconds(bareDecode));
    }
    endSession();

    // What the two progress dialogs of a native transfer cost by themselves: the download's and
    // the decode's, each created, stepped through 0-100 % as the libraries report it, destroyed.
    startSession(TWSX_NATIVE);
    progressSetOwner(g_cameraWindow.window);
    std::vector<double> dialogs;
    for (int i = 0; i < runs; ++i) {
        dialogs.push_back(milliseconds([] {
            progressDownloadLx3(1, 0, 1);
            for (int percent = 0; percent <= 100; ++percent) progressDownloadLx3(16, percent, 1);
            progressDownloadLx3(2, 0, 1);
            progressDecodeExif(1, 0, 1);
            for (int percent = 0; percent <= 100; ++percent) progressDecodeExif(16, percent, 1);
            progressDecodeExif(2, 0, 1);
        }));
    }
    endSession();

    // 2. Memory: every strip, against one memcpy of the same bytes.
    startSession(TWSX_MEMORY);
    std::vector<double> strips, copies;
    const size_t bytes = size_t(width) * height * 3;
    std::vector<uint8_t> from(bytes, 1), to(bytes, 2);
    int stripCount = 0;
    TW_UINT32 bufferSize = 0;
    for (int i = 0; i <= runs; ++i) {
        select();
        ok();  // acquires the picture before announcing it
        TW_SETUPMEMXFER setup = {};
        call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
        bufferSize = setup.Preferred;
        std::vector<uint8_t> buffer(setup.Preferred);
        // The display server is still drawing what OK's acquisition showed; on one CPU it would
        // run inside the timed strips. Let it finish first.
        pump();
        Sleep(50);
        stripCount = 0;
        const double ms = milliseconds([&] {
            for (;;) {
                TW_IMAGEMEMXFER strip = {};
                strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, TW_UINT32(buffer.size()), buffer.data()};
                const TW_UINT16 rc = call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
                ++stripCount;
                if (rc == TWRC_XFERDONE) break;
                if (rc != TWRC_SUCCESS) fail("memory transfer failed");
            }
        });
        endTransfer();
        if (i == 0) continue;
        strips.push_back(ms);
        copies.push_back(milliseconds([&] { std::memcpy(to.data(), from.data(), bytes); }));
    }
    endSession();
    GlobalFree(data);
    if (manager) FreeLibrary(manager);

    std::printf("picture %ld x %ld, %u bytes of JPEG, median of %d runs\n", width, height, unsigned(file.size()), runs);
    std::printf("native transfer, OK to bitmap in the application  %8.1f ms\n", median(native));
    std::printf("bare decode by VXXIF32 in the same process          %8.1f ms\n", median(decode));
    std::printf("  the transfer's two progress dialogs by themselves  %8.1f ms\n", median(dialogs));
    std::printf("memory transfer, %d strips into %u bytes          %8.1f ms\n", stripCount, unsigned(bufferSize),
                median(strips));
    std::printf("one memcpy of the same %u bytes                  %8.1f ms\n", unsigned(bytes), median(copies));
    std::printf("ratio native transfer / bare decode   %.2f (at most 1.20)\n", median(native) / median(decode));
    // What the transfer's own data path costs: the native transfer less what the two dialogs
    // cost by themselves (an estimate, the two medians come from different runs).
    std::printf("  the same, less the two dialogs' own cost  %.2f\n",
                (median(native) - median(dialogs)) / median(decode));
    std::printf("ratio memory strips / one memcpy      %.2f (at most 2.00)\n", median(strips) / median(copies));
    return 0;
}
