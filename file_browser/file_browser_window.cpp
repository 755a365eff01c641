#include "file_browser/file_browser_window.h"

#include "camera_window/error_box.h"
#include "camera_window/requests.h"
#include "camera_window/shared_fonts.h"
#include "camera_window/window_class.h"
#include "file_browser/directory_scan.h"
#include "file_browser/file_list.h"
#include "file_browser/thumbnail_grid.h"
#include "resources/resource_ids.h"
#include "win32/scoped_handle.h"

#include <string>

HWND g_fileBrowserWindow = nullptr;

namespace {

constexpr int ITEM_HEIGHT = 18;

// The six controls, in the order they are created and destroyed. One browser at a time.
struct BrowserControls {
    HWND ok;
    HWND cancel;
    HWND directoryList;
    HWND driveBox;
    HWND fileTypeBox;
    HWND scrollBar;
};

BrowserControls g_controls;
// The window the browser stands in for, shown again when it closes.
HWND g_returnTo = nullptr;

struct ControlSpec {
    HWND BrowserControls::*handle;
    int id;
    const char* className;
    const char* text;
    DWORD style;
    HFONT (*font)();  // the camera window's font it borrows; none for the scroll bar
};

const ControlSpec CONTROLS[] = {
    {&BrowserControls::ok, IDOK, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, controlFont},
    {&BrowserControls::cancel, IDCANCEL, "BUTTON", "CANCEL", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, controlFont},
    {&BrowserControls::directoryList, IDC_DIRECTORY, "LISTBOX", "",
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
         LBS_NOINTEGRALHEIGHT,
     browserFont},
    {&BrowserControls::driveBox, IDC_DRIVE, "COMBOBOX", "",
     WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_NOINTEGRALHEIGHT,
     browserFont},
    {&BrowserControls::fileTypeBox, IDC_FILETYPE, "COMBOBOX", "",
     WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS | CBS_NOINTEGRALHEIGHT, browserFont},
    {&BrowserControls::scrollBar, IDC_FILESCROLL, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_VERT, nullptr},
};

struct Place {
    int x, y, width, height;
};

// Where each control goes in a client area of width w and height h.
Place controlPlace(int id, int w, int h, const GridGeometry& geometry)
{
    switch (id) {
    case IDOK:           return {w - 80, h - 96, 64, 20};
    case IDCANCEL:       return {w - 80, h - 64, 64, 20};
    case IDC_DIRECTORY:  return {w - 184, 20, 160, 160};
    case IDC_DRIVE:      return {w - 184, 192, 160, 100};
    case IDC_FILETYPE:   return {w - 184, h - 136, 160, 80};
    default:             return {CELL_PITCH * geometry.columns + GRID_LEFT, GRID_TOP, 15, CELL_PITCH * geometry.rows};
    }
}

void destroyControls()
{
    for (const ControlSpec& spec : CONTROLS) {
        HWND& handle = g_controls.*spec.handle;
        if (handle && IsWindow(handle)) DestroyWindow(handle);
        handle = nullptr;
    }
}

void showReturnWindow()
{
    if (g_returnTo && IsWindow(g_returnTo)) ShowWindow(g_returnTo, SW_SHOW);
}

void setRedraw(HWND control, bool redraw)
{
    SendMessageA(control, WM_SETREDRAW, redraw, 0);
    if (redraw) InvalidateRect(control, nullptr, TRUE);
}

// The current directory listed anew and scanned.
void relist(HWND window)
{
    SendMessageA(g_controls.directoryList, LB_RESETCONTENT, 0, 0);
    PictureNames pictures;
    listCurrentDirectory(window, g_controls.directoryList, &pictures);
    fileListRelease();
    if (scanFiles(window, pictures)) gridLoadThumbnails(window);
}

// ---- Messages ----

LRESULT onCreate(HWND window)
{
    // Boxes shown while the window is being made are owned by it.
    g_fileBrowserWindow = window;
    RECT client = {};
    GetClientRect(window, &client);
    const HINSTANCE instance = windowsModule();
    for (const ControlSpec& spec : CONTROLS) {
        const Place place = controlPlace(spec.id, client.right, client.bottom, gridGeometry(window));
        HWND control = CreateWindowExA(0, spec.className, spec.text, spec.style, place.x, place.y, place.width,
                                       place.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                       instance, nullptr);
        g_controls.*spec.handle = control;
        if (!control) continue;
        ShowWindow(control, SW_SHOW);
        if (spec.font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(spec.font()), TRUE);
    }
    fillDriveBox(g_controls.driveBox);
    fillFileTypeBox(g_controls.fileTypeBox);
    relist(window);
    SendMessageA(window, UM_FILEREFRESH, 0, 0);
    gridSetFirstRow(0);
    return 0;
}

LRESULT onSize(HWND window, int w, int h)
{
    const GridGeometry geometry = gridGeometry(window);
    for (const ControlSpec& spec : CONTROLS) {
        HWND control = g_controls.*spec.handle;
        const Place place = controlPlace(spec.id, w, h, geometry);
        MoveWindow(control, place.x, place.y, place.width, place.height, spec.id != IDC_FILESCROLL);
    }
    SendMessageA(window, UM_FILEREFRESH, 0, 0);
    return 0;
}

LRESULT onPaint(HWND window)
{
    PaintDC dc(window);
    if (dc) gridPaint(window, dc.get());
    return 0;
}

// Closing by the close box or CANCEL: the list goes, the camera window comes back.
void closeBrowser(HWND window)
{
    fileListRelease();
    showReturnWindow();
    destroyControls();
    DestroyWindow(window);
}

void drawItemText(const DRAWITEMSTRUCT& item, const std::string& text, int x)
{
    const bool selected = item.itemState & ODS_SELECTED;
    const COLORREF oldText = SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const COLORREF oldBack = SetBkColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(item.hDC, &metrics);
    const int y = (item.rcItem.top + item.rcItem.bottom - metrics.tmHeight) / 2;
    ExtTextOutA(item.hDC, x, y, ETO_OPAQUE | ETO_CLIPPED, &item.rcItem, text.c_str(), static_cast<UINT>(text.size()),
                nullptr);
    SetTextColor(item.hDC, oldText);
    SetBkColor(item.hDC, oldBack);
}

// Icons are drawn clipped to their item, whatever their picture's extent.
void drawItemIcon(const DRAWITEMSTRUCT& item, const char* name, int x, int y)
{
    HICON icon = static_cast<HICON>(LoadImageA(windowsModule(), name, IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    if (!icon) return;
    const int saved = SaveDC(item.hDC);
    IntersectClipRect(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom);
    DrawIconEx(item.hDC, x, y, icon, 32, 32, 0, nullptr, DI_NORMAL);
    RestoreDC(item.hDC, saved);
    DestroyIcon(icon);
}

std::string itemText(HWND control, UINT getLength, UINT getText, UINT index)
{
    const LRESULT length = SendMessageA(control, getLength, index, 0);
    if (length < 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(control, getText, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
    return text;
}

const char* driveIcon(ULONG_PTR kind)
{
    switch (kind) {
    case DRIVE_KIND_REMOVABLE: return "ICI_FD";
    case DRIVE_KIND_CDROM:     return "ICI_CDROM";
    case DRIVE_KIND_REMOTE:    return "ICI_NETD";
    case DRIVE_KIND_RAMDISK:   return "ICI_RAM";
    default:                   return "ICI_DRIVE";
    }
}

void drawDriveItem(const DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<UINT>(-1)) return;
    const int q = LOWORD(GetDialogBaseUnits()) / 4;
    drawItemText(item, itemText(item.hwndItem, CB_GETLBTEXTLEN, CB_GETLBTEXT, item.itemID), 2 * q + 25);
    drawItemIcon(item, driveIcon(item.itemData), q + 2, item.rcItem.top + 3);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

void drawDirectoryItem(const DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<UINT>(-1)) return;
    if (!(item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return;
    const int index = static_cast<int>(item.itemID);
    const int depth = pathDepth();
    const bool pathEntry = index < depth;
    const int indent = 3 * (pathEntry ? index : depth);
    std::string text = itemText(item.hwndItem, LB_GETTEXTLEN, LB_GETTEXT, item.itemID);
    if (index == 0) text += '\\';
    drawItemText(item, text, indent + 22);
    if (item.itemState & ODS_SELECTED) DrawFocusRect(item.hDC, &item.rcItem);
    drawItemIcon(item, pathEntry ? "ICI_DIROPEN" : "ICI_DIRCLOSE", item.rcItem.left + indent + 2, item.rcItem.top + 2);
}

LRESULT onDrawItem(const DRAWITEMSTRUCT* item)
{
    if (!item) return 0;
    if (item->CtlID == IDC_DRIVE) drawDriveItem(*item);
    else if (item->CtlID == IDC_DIRECTORY) drawDirectoryItem(*item);
    return 0;
}

// A drive whose medium is missing cannot be made current: the box goes back to the drive
// that still is, and its directory is listed again.
void changeDrive(HWND window)
{
    const LRESULT selected = SendMessageA(g_controls.driveBox, CB_GETCURSEL, 0, 0);
    const std::string root =
        selected < 0 ? std::string() : itemText(g_controls.driveBox, CB_GETLBTEXTLEN, CB_GETLBTEXT, selected);
    const bool changed = !root.empty() && SetCurrentDirectoryA(root.substr(0, 2).c_str());
    setRedraw(g_controls.directoryList, false);
    SendMessageA(g_controls.directoryList, LB_RESETCONTENT, 0, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_DIRECTORY, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(g_controls.directoryList));
    relist(window);
    setRedraw(g_controls.directoryList, true);
    if (!changed) SendMessageA(g_controls.driveBox, CB_SETCURSEL, currentDriveEntry(), 0);
    SendMessageA(window, UM_FILEREFRESH, 0, 0);
    gridSetFirstRow(0);
}

// The double-clicked entry's path becomes the listed directory. A path longer than the saved
// directory can hold is not entered: the browser stays where it is with its listing.
void enterDirectory(HWND window)
{
    const LRESULT selected = SendMessageA(g_controls.directoryList, LB_GETCURSEL, 0, 0);
    const std::string path = directoryEntryPath(g_controls.directoryList, static_cast<int>(selected));
    if (path.empty() || path.size() >= SAVED_DIRECTORY_SIZE) return;
    setRedraw(g_controls.directoryList, false);
    gridSetFirstRow(0);
    fileListRelease();
    // A directory that cannot be entered leaves the old one current; it is listed again.
    SetCurrentDirectoryA(path.c_str());
    relist(window);
    setRedraw(g_controls.directoryList, true);
    SendMessageA(window, UM_FILEREFRESH, 0, 0);
}

void changeFileType(HWND window)
{
    gridReleaseThumbnails();
    gridLoadThumbnails(window);
    SendMessageA(window, UM_FILEREFRESH, 0, 0);
    gridSetFirstRow(0);
}

// OK: the selected files of the shown kind are handed up to be announced. The kind goes up
// also when none is selected: the transfers take files from now on.
void announceSelectedFiles(HWND window)
{
    const FileKind kind = readFileKind(window);
    const uint16_t selected = fileListCountSelected(kind);
    const bool announced = requestAnnouncement({ORIGIN_FILE_BROWSER, kind, selected});
    if (selected == 0) {
        errorBox(window, 0, ERROR_SELECT_IMAGES, nullptr);
        return;
    }
    if (announced) InvalidateRect(window, nullptr, FALSE);
}

LRESULT onCommand(HWND window, int id, int notification)
{
    switch (id) {
    case IDOK:
        announceSelectedFiles(window);
        return 0;
    case IDCANCEL:
        closeBrowser(window);
        return 1;
    case IDC_DRIVE:
        if (notification == CBN_SELCHANGE) changeDrive(window);
        return 0;
    case IDC_DIRECTORY:
        if (notification == LBN_SELCHANGE) gridSetFirstRow(0);
        if (notification == LBN_DBLCLK) enterDirectory(window);
        return 0;
    case IDC_FILETYPE:
        if (notification == CBN_SELCHANGE) changeFileType(window);
        return 0;
    default:
        return 0;
    }
}

LRESULT onDestroy(HWND window)
{
    if (g_fileBrowserWindow == window) g_fileBrowserWindow = nullptr;
    g_controls = {};
    return 0;
}

POINT pointOf(LPARAM lParam)
{
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LRESULT CALLBACK fileBrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onCreate(window);
    case WM_SIZE:
        return onSize(window, LOWORD(lParam), HIWORD(lParam));
    case WM_PAINT:
        return onPaint(window);
    case WM_CLOSE:
        closeBrowser(window);
        return 0;
    case WM_DESTROY:
        return onDestroy(window);
    case WM_MEASUREITEM:
        if (lParam) reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = ITEM_HEIGHT;
        return 1;
    case WM_DRAWITEM:
        return onDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
        return onCommand(window, LOWORD(wParam), HIWORD(wParam));
    case WM_VSCROLL:
        gridScroll(window, LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
        return 0;
    case WM_LBUTTONDOWN:
        gridClick(window, pointOf(lParam), wParam);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (gridHitTest(window, pointOf(lParam))) SendMessageA(window, WM_COMMAND, IDOK, 0);
        return 0;
    case UM_FILEREFRESH:
        gridRefresh(window);
        return 0;
    case UM_FILELOADMORE:
        gridLoadMore(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

ATOM registerFileBrowserWindowClass()
{
    return registerSourceWindowClass(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_PARENTDC | CS_BYTEALIGNWINDOW,
                                     fileBrowserWindowProc, FILE_BROWSER_WINDOW_CLASS);
}

bool createFileBrowserWindow(HWND owner, HWND returnTo)
{
    HWND window = CreateWindowExA(0, FILE_BROWSER_WINDOW_CLASS, FILE_BROWSER_WINDOW_TITLE, WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, FILE_BROWSER_WINDOW_WIDTH, FILE_BROWSER_WINDOW_HEIGHT,
                                  owner, nullptr, windowsModule(), nullptr);
    if (!window) return false;
    g_fileBrowserWindow = window;
    g_returnTo = returnTo;
    ShowWindow(window, SW_SHOWNORMAL);
    return true;
}

bool fileBrowserWindowExists()
{
    return g_fileBrowserWindow && IsWindow(g_fileBrowserWindow);
}

void adoptFileBrowserWindow(HWND owner)
{
    if (GetWindow(g_fileBrowserWindow, GW_OWNER) != owner)
        SetWindowLongPtrA(g_fileBrowserWindow, GWLP_HWNDPARENT, LONG_PTR(owner));
}

void destroyFileBrowserWindow()
{
    if (fileBrowserWindowExists()) {
        destroyControls();
        DestroyWindow(g_fileBrowserWindow);
    }
    g_fileBrowserWindow = nullptr;
    fileListRelease();
}

void fileBrowserRedraw()
{
    if (fileBrowserWindowExists()) InvalidateRect(g_fileBrowserWindow, nullptr, FALSE);
}

void fileBrowserClearSelection(FileKind kind)
{
    gridClearSelection(g_fileBrowserWindow, kind);
}
