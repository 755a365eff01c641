#include "source_driver.h"

#include "resources/resource_ids.h"

#include <cstdio>
#include <cstring>

namespace {

const char APPLICATION_CLASS[] = "ReliabilityTestApplication";

std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

LRESULT CALLBACK applicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeApplicationWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = applicationProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = APPLICATION_CLASS;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, APPLICATION_CLASS, "application", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           windowClass.hInstance, nullptr);
}

struct ThreadSearch {
    const char* className;
    HWND found;
};

BOOL CALLBACK matchClass(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ThreadSearch*>(param);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, search->className) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

std::string textOf(HWND window)
{
    char text[256] = "";
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

// Rows of a packed bottom-up DIB with padded rows, read within the block's size.
bool readDib(HGLOBAL dib, Received* picture)
{
    const SIZE_T size = GlobalSize(dib);
    const auto* block = static_cast<const uint8_t*>(GlobalLock(dib));
    if (!block) return false;
    bool whole = false;
    BITMAPINFOHEADER header;
    if (size >= sizeof header) {
        std::memcpy(&header, block, sizeof header);
        const uint64_t stride = (uint64_t(header.biWidth) * 3 + 3) / 4 * 4;
        if (header.biWidth > 0 && header.biHeight > 0 && header.biBitCount == 24 &&
            sizeof header + stride * uint64_t(header.biHeight) <= size) {
            whole = true;
            picture->width = header.biWidth;
            picture->height = header.biHeight;
            for (int y = 0; y < picture->height; ++y) {
                const uint8_t* row = block + sizeof header + (picture->height - 1 - y) * stride;
                for (int x = 0; x < picture->width; ++x) {
                    picture->rgb.push_back(row[3 * x + 2]);
                    picture->rgb.push_back(row[3 * x + 1]);
                    picture->rgb.push_back(row[3 * x]);
                }
            }
        }
    }
    GlobalUnlock(dib);
    return whole;
}

// The cancel hook's state: one hook on the test's thread at a time.
struct CancelState {
    std::string title;
    int occurrence;
    std::string percent;
    int seen;
    HWND dialog;
    bool pressed;
};
CancelState g_cancel;

LRESULT CALLBACK cancelHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message && !g_cancel.pressed) {
        if (message->message == WM_INITDIALOG && textOf(message->hwnd) == g_cancel.title) {
            if (++g_cancel.seen == g_cancel.occurrence) g_cancel.dialog = message->hwnd;
        } else if (message->message == WM_SETTEXT && g_cancel.dialog && GetParent(message->hwnd) == g_cancel.dialog &&
                   message->lParam && g_cancel.percent == reinterpret_cast<const char*>(message->lParam)) {
            // The user's click on Cancel: the button's notification, queued like input.
            PostMessageA(g_cancel.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(g_cancel.dialog, IDCANCEL)));
            g_cancel.pressed = true;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

SourceDriver::SourceDriver()
{
    fakeDsmOpen(&manager_);
    module_ = LoadLibraryA(windowsPath(SOURCE_PATH).c_str());
    if (module_) entry_ = reinterpret_cast<DSENTRYPROC>(GetProcAddress(module_, "DS_Entry"));
    window_ = makeApplicationWindow();
    app_.Id = 5;
    app_.ProtocolMajor = 1;
    app_.ProtocolMinor = 6;
    app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpyA(app_.ProductName, "Reliability test");
}

SourceDriver::~SourceDriver()
{
    if (window_) DestroyWindow(window_);
    // The source stays loaded: a source manager frees it at its own close, which this process
    // never reaches before its end.
    fakeDsmRelease(&manager_);
}

TW_UINT16 SourceDriver::call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
{
    return entry_ ? entry_(&app_, dg, dat, msg, data) : TW_UINT16(TWRC_FAILURE);
}

TW_UINT16 SourceDriver::open()
{
    TW_IDENTITY source = {};
    source.Id = 9;
    lstrcpyA(source.ProductName, "MELVO DIGITAL CAMERA WIN32");
    return control(DAT_IDENTITY, MSG_OPENDS, &source);
}

TW_UINT16 SourceDriver::close()
{
    return control(DAT_IDENTITY, MSG_CLOSEDS, nullptr);
}

TW_UINT16 SourceDriver::enable()
{
    ui_ = {TRUE, FALSE, window_};
    return control(DAT_USERINTERFACE, MSG_ENABLEDS, &ui_);
}

TW_UINT16 SourceDriver::disable()
{
    return control(DAT_USERINTERFACE, MSG_DISABLEDS, &ui_);
}

TW_UINT16 SourceDriver::conditionCode()
{
    TW_STATUS status = {};
    if (control(DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
    return status.ConditionCode;
}

TW_UINT16 SourceDriver::setMechanism(TW_UINT16 mechanism)
{
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
    auto* value = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer));
    value->ItemType = TWTY_UINT16;
    value->Item = mechanism;
    GlobalUnlock(cap.hContainer);
    const TW_UINT16 rc = control(DAT_CAPABILITY, MSG_SET, &cap);
    GlobalFree(cap.hContainer);
    return rc;
}

int SourceDriver::endTransfer()
{
    TW_PENDINGXFERS pending = {};
    if (control(DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) return -1;
    return static_cast<TW_INT16>(pending.Count);
}

TransferResult SourceDriver::nativeTransfer()
{
    TransferResult result;
    TW_HANDLE handle = nullptr;
    result.answer = call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (result.answer == TWRC_XFERDONE) {
        result.delivered = handle && readDib(handle, &result.picture);
        result.halfDelivered = !result.delivered;
        if (handle) GlobalFree(handle);
    } else {
        result.condition = conditionCode();
        result.handleWithFailure = handle != nullptr;
    }
    return result;
}

TransferResult SourceDriver::memoryTransfer(uint32_t rows)
{
    TransferResult result;
    TW_IMAGEINFO info = {};
    if (call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS || info.ImageWidth <= 0) {
        result.answer = TWRC_FAILURE;
        result.condition = conditionCode();
        return result;
    }
    Received& picture = result.picture;
    picture.width = info.ImageWidth;
    picture.height = info.ImageLength;
    const size_t bytesPerRow = size_t(picture.width) * 3;
    const size_t total = bytesPerRow * picture.height;
    std::vector<uint8_t> buffer(bytesPerRow * rows);
    for (int strips = 0; strips < 100000; ++strips) {
        TW_IMAGEMEMXFER strip = {};
        strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
        const TW_UINT16 rc = call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
            if (strip.YOffset * bytesPerRow != picture.rgb.size() || strip.BytesWritten > buffer.size()) break;
            picture.rgb.insert(picture.rgb.end(), buffer.begin(), buffer.begin() + strip.BytesWritten);
        }
        if (rc == TWRC_SUCCESS && picture.rgb.size() < total) continue;
        result.answer = rc;
        break;
    }
    result.delivered = result.answer == TWRC_XFERDONE && picture.rgb.size() == total;
    result.halfDelivered = !result.delivered && !picture.rgb.empty();
    result.condition = conditionCode();
    if (!result.delivered) picture = Received{};
    return result;
}

int SourceDriver::notifications(TW_UINT16 message) const
{
    int count = 0;
    if (!manager_.callCount) return 0;
    for (TW_UINT32 i = 0; i < manager_.callCount(); ++i) {
        FakeDsmCall recorded;
        if (manager_.getCall(i, &recorded) && recorded.dat == DAT_NULL && recorded.msg == message) ++count;
    }
    return count;
}

void SourceDriver::clearNotifications()
{
    if (manager_.clear) manager_.clear();
}

HWND findThreadWindow(const char* className)
{
    ThreadSearch search = {className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND cameraWindow()
{
    return findThreadWindow("TWMAINWINDOW");
}

HWND fileBrowserWindow()
{
    return findThreadWindow("FILEMAINWINDOW");
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string CameraUser::page()
{
    HWND window = cameraWindow();
    if (!window) return "no window";
    if (HWND model = GetDlgItem(window, IDC_MODEL)) return IsWindowEnabled(model) ? "offline" : "option page online";
    if (HWND ok = GetDlgItem(window, IDC_OK)) return IsWindowEnabled(ok) ? "online" : "camera page offline";
    return "no page";
}

bool CameraUser::connect(int family)
{
    HWND window = cameraWindow();
    if (!window || page() != "offline") return false;
    static const char* const MODELS[] = {"", "LX-1 / MLX-1", "LX-2 / MLX-2", "LX-3 / MLX-300"};
    const struct {
        int id;
        const char* entry;
    } choices[] = {{IDC_MODEL, MODELS[family]}, {IDC_PORT, "COM1"}, {IDC_SPEED, "19200bps"}};
    for (const auto& choice : choices) {
        HWND box = GetDlgItem(window, choice.id);
        const LRESULT index =
            SendMessageA(box, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(choice.entry));
        if (index < 0) return false;
        SendMessageA(box, CB_SETCURSEL, index, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(choice.id, CBN_CLOSEUP), reinterpret_cast<LPARAM>(box));
    }
    click(IDC_CAMERA);
    return page() == "online";
}

void CameraUser::click(int id)
{
    HWND window = cameraWindow();
    HWND button = window ? GetDlgItem(window, id) : nullptr;
    if (button && IsWindowEnabled(button)) SendMessageA(button, BM_CLICK, 0, 0);
    pumpMessages();
}

void CameraUser::type(const std::string& number)
{
    HWND window = cameraWindow();
    HWND box = window ? GetDlgItem(window, IDC_NUMBER) : nullptr;
    if (box && IsWindowEnabled(box)) SetWindowTextA(box, number.c_str());
    pumpMessages();
}

void CameraUser::closeBox()
{
    if (HWND window = cameraWindow()) SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    pumpMessages();
}

CancelInDialog::CancelInDialog(const std::string& title, int occurrence, int percent)
{
    g_cancel = {title, occurrence, std::to_string(percent) + "%", 0, nullptr, false};
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, cancelHook, nullptr, GetCurrentThreadId());
}

CancelInDialog::~CancelInDialog()
{
    if (hook_) UnhookWindowsHookEx(hook_);
    g_cancel = {};
}

bool CancelInDialog::pressed() const
{
    return g_cancel.pressed;
}

namespace {

const int GRID_X = 16, GRID_Y = 20, CELL = 126, COLUMNS = 3;

POINT cellCentre(int position)
{
    const int column = (position - 1) % COLUMNS, row = (position - 1) / COLUMNS;
    return {GRID_X + CELL * column + CELL / 2, GRID_Y + CELL * row + CELL / 2};
}

}  // namespace

bool BrowserUser::open()
{
    HWND camera = cameraWindow();
    HWND button = camera ? GetDlgItem(camera, IDC_DISK) : nullptr;
    if (!button) return false;
    SendMessageA(button, BM_CLICK, 0, 0);
    pumpMessages();
    return window() != nullptr;
}

void BrowserUser::click(int position, WPARAM keys)
{
    const POINT at = cellCentre(position);
    SendMessageA(window(), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(at.x, at.y));
    SendMessageA(window(), WM_LBUTTONUP, keys, MAKELPARAM(at.x, at.y));
    pumpMessages();
}

void BrowserUser::doubleClick(int position)
{
    const POINT at = cellCentre(position);
    click(position);
    SendMessageA(window(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(window(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    pumpMessages();
}

void BrowserUser::ok()
{
    SendMessageA(GetDlgItem(window(), IDOK), BM_CLICK, 0, 0);
    pumpMessages();
}

void BrowserUser::cancel()
{
    SendMessageA(GetDlgItem(window(), IDCANCEL), BM_CLICK, 0, 0);
    pumpMessages();
}

void BrowserUser::chooseFileType(int index)
{
    HWND box = GetDlgItem(window(), IDC_FILETYPE);
    SendMessageA(box, CB_SETCURSEL, index, 0);
    SendMessageA(window(), WM_COMMAND, MAKEWPARAM(IDC_FILETYPE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    pumpMessages();
}

void BrowserUser::enterEntry(int index)
{
    // As the list box answers a double click: the entry selected, then the notification.
    HWND list = GetDlgItem(window(), IDC_DIRECTORY);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(window(), WM_COMMAND, MAKEWPARAM(IDC_DIRECTORY, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    pumpMessages();
}

std::vector<std::string> BrowserUser::entries()
{
    std::vector<std::string> texts;
    HWND list = GetDlgItem(window(), IDC_DIRECTORY);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        text.resize(static_cast<size_t>(SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]))));
        texts.push_back(text);
    }
    return texts;
}

void BrowserUser::scroll(int code, int thumb)
{
    SendMessageA(window(), WM_VSCROLL, MAKEWPARAM(code, thumb),
                 reinterpret_cast<LPARAM>(GetDlgItem(window(), IDC_FILESCROLL)));
    pumpMessages();
}

std::string BrowserUser::cell(int position)
{
    HWND browser = window();
    if (!browser) return "no window";
    RedrawWindow(browser, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pumpMessages();
    const POINT centre = cellCentre(position);
    // Inside the thumbnail, off the placeholder's cross.
    HDC dc = GetDC(browser);
    const COLORREF inside = GetPixel(dc, centre.x - 40, centre.y - 45);
    // The empty photo window has the colour of the name plate's seat, whose left end no plate
    // covers.
    const COLORREF seat = GetPixel(dc, centre.x - CELL / 2 + 9, centre.y - CELL / 2 + 118);
    ReleaseDC(browser, dc);
    if (inside == RGB(64, 64, 64)) return "placeholder";
    if (inside == seat) return "empty";
    char text[16];
    snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(inside), GetGValue(inside), GetBValue(inside));
    return text;
}

namespace {

void removeWide(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeWide(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

void removeFolder(const std::string& path)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    removeWide(wide.compare(0, 4, L"\\\\?\\") == 0 ? wide : L"\\\\?\\" + wide);
}

ScratchFolder::ScratchFolder()
{
    static int serial = 0;
    char temporary[MAX_PATH] = "";
    GetTempPathA(sizeof temporary, temporary);
    char name[96];
    snprintf(name, sizeof name, "reliability-%lu-%lu-%d", GetCurrentProcessId(), GetTickCount(), ++serial);
    path_ = std::string(temporary) + name;
    removeFolder(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    removeFolder(path_);
}
