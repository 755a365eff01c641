// The camera window: class, controls, fonts, pages, the camera link and the teardown. The
// camera page commands are in camera_commands.cpp, the drawing in page_drawing.cpp.
#include "camera_window/camera_window.h"

#include "camera/camera_connection.h"
#include "camera/camera_families.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera_window/camera_commands.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/error_box.h"
#include "camera_window/page_drawing.h"
#include "camera_window/requests.h"
#include "camera_window/settings_boxes.h"
#include "camera_window/shared_fonts.h"
#include "camera_window/window_class.h"
#include "file_browser/file_browser_window.h"
#include "resources/resource_ids.h"
#include "win32/scoped_handle.h"

CameraWindowState g_cameraWindow;

namespace {

// One child control as it is created: class, text, style, place and font.
struct ControlSpec {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    int x, y, width, height;
    HFONT WindowFonts::*font;  // null: the control keeps the system font
};

const DWORD OWNER_DRAWN = WS_CHILD | BS_OWNERDRAW;
const DWORD PUSH_BUTTON = WS_CHILD | BS_PUSHBUTTON;
const DWORD NUMBER_BOX = WS_CHILD | WS_BORDER | ES_LEFT;
const DWORD SETTINGS_BOX = WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

const ControlSpec LEFT_COLUMN[] = {
    {IDCANCEL, "BUTTON", "CANCEL", PUSH_BUTTON, 16, 226, 64, 20, &WindowFonts::control},
    {IDC_CAMERA, "BUTTON", "", OWNER_DRAWN, 25, 34, 48, 48, nullptr},
    {IDC_DISK, "BUTTON", "", OWNER_DRAWN, 25, 98, 48, 48, nullptr},
};

const ControlSpec OPTION_PAGE[] = {
    {IDC_MODEL, "COMBOBOX", "", SETTINGS_BOX, 234, 70, 110, 150, &WindowFonts::model},
    {IDC_PORT, "COMBOBOX", "", SETTINGS_BOX, 234, 138, 110, 150, &WindowFonts::control},
    {IDC_SPEED, "COMBOBOX", "", SETTINGS_BOX, 234, 206, 110, 150, &WindowFonts::control},
};

const ControlSpec CAMERA_PAGE[] = {
    {IDC_SELECT, "BUTTON", "S", OWNER_DRAWN, 128, 122, 32, 32, nullptr},
    {IDC_SELECTALL, "BUTTON", "S_all", OWNER_DRAWN, 300, 74, 32, 32, nullptr},
    {IDC_CANCELALL, "BUTTON", "C", OWNER_DRAWN, 300, 128, 32, 32, nullptr},
    {IDC_PREV, "BUTTON", "<<", OWNER_DRAWN, 188, 122, 32, 32, nullptr},
    {IDC_NEXT, "BUTTON", ">>", OWNER_DRAWN, 228, 122, 32, 32, nullptr},
    {IDC_OK, "BUTTON", "OK", PUSH_BUTTON, 280, 238, 64, 20, &WindowFonts::control},
    {IDC_NUMBER, "EDIT", "", NUMBER_BOX, 176, 90, 40, 20, &WindowFonts::control},
    {IDC_TOTAL, "EDIT", "", NUMBER_BOX, 232, 90, 40, 20, &WindowFonts::control},
    {IDC_CARD, "BUTTON", "", OWNER_DRAWN, 152, 188, 15, 15, nullptr},
    {IDC_MEMORY, "BUTTON", "", OWNER_DRAWN, 260, 188, 15, 15, nullptr},
};

// The tab headers as the page bitmaps draw them, in client pixels, both ends included.
const RECT OPTION_TAB_HEADER = {171, 20, 241, 34};
const RECT CAMERA_TAB_HEADER = {99, 20, 169, 34};

bool isSubclassed(int id)
{
    return id == IDC_CAMERA || id == IDC_SELECT || id == IDC_SELECTALL || id == IDC_CANCELALL;
}

HWND createControl(HWND window, const ControlSpec& spec, bool enabled)
{
    const DWORD style = spec.style | (enabled ? 0 : WS_DISABLED);
    HWND control = CreateWindowExA(0, spec.className, spec.text, style, spec.x, spec.y, spec.width, spec.height, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), windowsModule(),
                                   nullptr);
    if (!control) return nullptr;  // the window goes on without it
    if (isSubclassed(spec.id)) subclassButton(control);
    if (spec.font && g_cameraWindow.fonts.*spec.font)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_cameraWindow.fonts.*spec.font), TRUE);
    ShowWindow(control, SW_SHOW);
    return control;
}

template <size_t N>
void destroyControls(HWND window, const ControlSpec (&specs)[N])
{
    for (const ControlSpec& spec : specs) {
        HWND control = GetDlgItem(window, spec.id);
        if (control) DestroyWindow(control);
    }
}

SettingsBoxes settingsBoxes(HWND window)
{
    return {GetDlgItem(window, IDC_MODEL), GetDlgItem(window, IDC_PORT), GetDlgItem(window, IDC_SPEED)};
}

HFONT makeFont(int height, int width, BYTE charset)
{
    return CreateFontA(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH, "");
}

void createFonts()
{
    WindowFonts& fonts = g_cameraWindow.fonts;
    fonts.control = makeFont(-12, 0, ANSI_CHARSET);
    fonts.grid = makeFont(-16, 0, SHIFTJIS_CHARSET);
    fonts.label = makeFont(-9, 0, ANSI_CHARSET);
    fonts.model = makeFont(-13, -5, ANSI_CHARSET);
    fonts.browser = makeFont(-16, 0, SHIFTJIS_CHARSET);
}

HBITMAP loadBitmap(const char* name)
{
    return LoadBitmapA(windowsModule(), name);
}

void loadKeptBitmaps()
{
    KeptBitmaps& kept = g_cameraWindow.bitmaps;
    kept.clear = loadBitmap("IDB_CLEAR");
    kept.clearPressed = loadBitmap("IDB_CLEARDW");
    kept.selectAll = loadBitmap("IDB_DISK");
    kept.selectAllPressed = loadBitmap("IDB_DISKDW");
    kept.camera = loadBitmap("IDB_CAMERA");
    kept.cameraPressed = loadBitmap("IDB_CAMERADW");
    kept.select = loadBitmap("IDB_DISK");
    kept.selectPressed = loadBitmap("IDB_DISKDW");
}

template <typename Handle>
void deleteObject(Handle& handle)
{
    if (handle) DeleteObject(handle);
    handle = nullptr;
}

// Whichever way the window goes (CANCEL, the close box, or the application closing the source
// or enabling it again), its fonts and bitmaps go with it.
void releaseWindowResources()
{
    WindowFonts& fonts = g_cameraWindow.fonts;
    for (HFONT* font : {&fonts.control, &fonts.grid, &fonts.label, &fonts.model, &fonts.browser}) deleteObject(*font);
    KeptBitmaps& kept = g_cameraWindow.bitmaps;
    for (HBITMAP* bitmap : {&kept.clear, &kept.clearPressed, &kept.selectAll, &kept.selectAllPressed, &kept.camera,
                            &kept.cameraPressed, &kept.select, &kept.selectPressed})
        deleteObject(*bitmap);
}

LRESULT onCreate(HWND window)
{
    // The creation below already reaches code that finds the window through its state.
    g_cameraWindow.window = window;
    loadKeptBitmaps();
    createFonts();
    for (const ControlSpec& spec : LEFT_COLUMN) createControl(window, spec, true);
    // A new window starts on the option page of the connection it finds: offline with the
    // boxes enabled, or online when the application enabled the source again without closing
    // it. A page state left by an earlier window says nothing about either.
    g_cameraWindow.page = cameraConnected() ? OPTION_ONLINE : OPTION_OFFLINE;
    g_cameraWindow.busy = BUSY_NONE;
    SendMessageA(window, UM_OPTIONTAB, 0, 0);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT onOptionTab(HWND window)
{
    if (g_cameraWindow.page == CAMERA_ONLINE) g_cameraWindow.page = OPTION_ONLINE;
    else if (g_cameraWindow.page == CAMERA_OFFLINE) g_cameraWindow.page = OPTION_OFFLINE;
    else destroyControls(window, OPTION_PAGE);
    g_cameraWindow.settingsTaken = false;
    destroyControls(window, CAMERA_PAGE);
    const bool enabled = g_cameraWindow.page == OPTION_OFFLINE;
    for (const ControlSpec& spec : OPTION_PAGE) createControl(window, spec, enabled);
    const SettingsBoxes boxes = settingsBoxes(window);
    settingsShow(boxes);
    settingsTake(boxes);
    settingsFitSpeedList(boxes);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

bool cameraControlEnabled(int id)
{
    if (g_cameraWindow.page != CAMERA_ONLINE) return false;
    const CameraFamily* family = cameraFamily();
    switch (id) {
    case IDC_NUMBER: return family && family->jumpsToNumber && g_camera.currentPicture != 0;
    case IDC_TOTAL:  return false;
    case IDC_CARD:   return family && family->hasCard;
    case IDC_MEMORY: return family && family->hasInternalMemory;
    default:         return true;
    }
}

LRESULT onCameraTab(HWND window)
{
    if (g_cameraWindow.page == OPTION_OFFLINE) g_cameraWindow.page = CAMERA_OFFLINE;
    else if (g_cameraWindow.page == OPTION_ONLINE) g_cameraWindow.page = CAMERA_ONLINE;
    else destroyControls(window, CAMERA_PAGE);
    if (!g_cameraWindow.settingsTaken && g_cameraWindow.page == CAMERA_OFFLINE) settingsTake(settingsBoxes(window));
    g_cameraWindow.settingsTaken = true;
    destroyControls(window, OPTION_PAGE);
    for (const ControlSpec& spec : CAMERA_PAGE) createControl(window, spec, cameraControlEnabled(spec.id));
    showCameraPosition();
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

bool within(const RECT& area, WORD x, WORD y)
{
    return x >= area.left && x <= area.right && y >= area.top && y <= area.bottom;
}

LRESULT onLeftButtonDown(HWND window, LPARAM lParam)
{
    const WORD x = LOWORD(lParam), y = HIWORD(lParam);
    if (within(OPTION_TAB_HEADER, x, y) && cameraPageShown()) SendMessageA(window, UM_OPTIONTAB, 0, 0);
    else if (within(CAMERA_TAB_HEADER, x, y) && !cameraPageShown()) SendMessageA(window, UM_CAMERATAB, 0, 0);
    return 0;
}

void onCameraLink(HWND window)
{
    if (cameraConnected()) {
        const uint16_t code = disconnectCamera();
        if (code != 0) errorBox(window, code, ERROR_CANNOT_CONNECT, nullptr);
        g_cameraWindow.page = OPTION_OFFLINE;
        SendMessageA(window, UM_OPTIONTAB, 0, 0);
        return;
    }
    if (!g_cameraWindow.settingsTaken) settingsTake(settingsBoxes(window));
    const uint16_t code = cameraConnect();
    if (code == 0) {
        g_cameraWindow.page = CAMERA_ONLINE;
        SendMessageA(window, UM_CAMERATAB, 0, 0);
        return;
    }
    errorBox(window, code, ERROR_CANNOT_CONNECT, nullptr);
    g_cameraWindow.page = OPTION_OFFLINE;
    // The failed choice is forgotten: the option page reads the settings file again.
    settingsForget();
    SendMessageA(window, UM_OPTIONTAB, 0, 0);
}

// The browser stands in for this window until it closes, then shows this window again.
void onFileBrowser(HWND window)
{
    if (!createFileBrowserWindow(g_cameraWindow.application, window)) return;
    ShowWindow(window, SW_HIDE);
}

void onSettingsCloseUp(HWND window, int id)
{
    const SettingsBoxes boxes = settingsBoxes(window);
    if (id == IDC_MODEL) settingsFitSpeedList(boxes);
    for (HWND box : {boxes.model, boxes.port, boxes.speed}) {
        if (!box) continue;
        InvalidateRect(box, nullptr, TRUE);
        if (GetDlgCtrlID(box) == id) SendMessageA(box, WM_SETFOCUS, 0, 0);
        else UpdateWindow(box);
    }
}

// The window goes: the application's window gets the focus back first, and the fonts and
// bitmaps go with the window (WM_NCDESTROY).
void tearDown(HWND window)
{
    HWND application = g_cameraWindow.application;
    if (application && IsWindow(application)) SetFocus(application);
    DestroyWindow(window);
}

void onCancel(HWND window)
{
    // A close that fails leaves the link marked open: closing the source closes it again.
    if (cameraConnected()) closeCameraLink();
    tearDown(window);
    requestClose();
}

LRESULT onClose(HWND window)
{
    // The link's mark follows the close: a closed link is not closed a second time when the
    // source is.
    closeCameraLink();
    tearDown(window);
    requestClose();
    return 0;
}

LRESULT onCommand(HWND window, WPARAM wParam)
{
    UpdateWindow(window);
    const int id = LOWORD(wParam);
    switch (id) {
    case IDCANCEL:      onCancel(window); break;
    case IDC_CAMERA:    onCameraLink(window); break;
    case IDC_DISK:      onFileBrowser(window); break;
    case IDC_MODEL:
    case IDC_PORT:
    case IDC_SPEED:
        if (HIWORD(wParam) == CBN_CLOSEUP) onSettingsCloseUp(window, id);
        break;
    case IDC_SELECT:    commandSelect(); break;
    case IDC_SELECTALL: commandSelectAll(); break;
    case IDC_CANCELALL: commandCancelAll(); break;
    case IDC_PREV:      commandPrevious(); break;
    case IDC_NEXT:      commandNext(); break;
    case IDC_OK:        commandOk(window); break;
    case IDC_NUMBER:    commandJump(wParam); break;
    case IDC_CARD:      commandChooseMedium(1); break;
    case IDC_MEMORY:    commandChooseMedium(0); break;
    default:            break;
    }
    return 0;
}

LRESULT onSize(HWND window)
{
    for (const ControlSpec& spec : LEFT_COLUMN) {
        HWND control = GetDlgItem(window, spec.id);
        if (control) MoveWindow(control, spec.x, spec.y, spec.width, spec.height, TRUE);
    }
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT onPaint(HWND window)
{
    PaintDC dc(window);
    if (dc) paintShownPage(window, dc.get());
    return 0;
}

LRESULT onDrawItem(const DRAWITEMSTRUCT* item)
{
    if (!item) return 0;
    if (item->itemState & ODS_SELECTED) drawButtonPressed(*item);
    else drawButtonNormal(*item);
    return 0;
}

LRESULT CALLBACK cameraWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:        return onCreate(window);
    case WM_MOVE:
    case WM_SETFOCUS:      InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_SIZE:          return onSize(window);
    case WM_PAINT:         return onPaint(window);
    case WM_CLOSE:         return onClose(window);
    case WM_DRAWITEM:      return onDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:       return onCommand(window, wParam);
    case WM_LBUTTONDOWN:   return onLeftButtonDown(window, lParam);
    case WM_LBUTTONDBLCLK: return 0;
    case UM_OPTIONTAB:     return onOptionTab(window);
    case UM_CAMERATAB:     return onCameraTab(window);
    case WM_DESTROY:
        if (g_cameraWindow.window == window) g_cameraWindow.window = nullptr;
        return 0;
    case WM_NCDESTROY:
        releaseWindowResources();
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void registerSourceWindows(HINSTANCE module)
{
    setWindowsModule(module);
    registerSourceWindowClass(CS_DBLCLKS | CS_PARENTDC, cameraWindowProc, CAMERA_WINDOW_CLASS);
    registerFileBrowserWindowClass();
}

void unregisterSourceWindows()
{
    UnregisterClassA(CAMERA_WINDOW_CLASS, windowsModule());
    UnregisterClassA(FILE_BROWSER_WINDOW_CLASS, windowsModule());
}

bool createCameraWindow(HWND application)
{
    g_cameraWindow.application = application;
    const DWORD exStyle = application ? 0 : WS_EX_TOPMOST;
    g_cameraWindow.window = CreateWindowExA(exStyle, CAMERA_WINDOW_CLASS, CAMERA_WINDOW_TITLE, WS_CAPTION | WS_SYSMENU,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CAMERA_WINDOW_WIDTH, CAMERA_WINDOW_HEIGHT,
                                            application, nullptr, windowsModule(), nullptr);
    return g_cameraWindow.window != nullptr;
}

void adoptCameraWindow(HWND application)
{
    g_cameraWindow.application = application;
    HWND window = g_cameraWindow.window;
    if (GetWindow(window, GW_OWNER) != application) SetWindowLongPtrA(window, GWLP_HWNDPARENT, LONG_PTR(application));
    SetWindowPos(window, application ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool cameraWindowExists()
{
    return g_cameraWindow.window && IsWindow(g_cameraWindow.window);
}

HWND cameraWindowHandle()
{
    return g_cameraWindow.window;
}

void destroyCameraWindow()
{
    if (cameraWindowExists()) DestroyWindow(g_cameraWindow.window);
    g_cameraWindow.window = nullptr;
}

void dropCameraLink()
{
    if (cameraConnected()) disconnectCamera();
}

void cameraWindowRedraw()
{
    if (cameraWindowExists()) InvalidateRect(g_cameraWindow.window, nullptr, FALSE);
}

HFONT controlFont()
{
    return g_cameraWindow.fonts.control;
}

HFONT browserFont()
{
    return g_cameraWindow.fonts.browser;
}

HFONT gridFont()
{
    return g_cameraWindow.fonts.grid;
}
