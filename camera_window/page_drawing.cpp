// Plain drawing of the camera window: framed pages with their tab headers and labels, buttons
// as framed text that sinks when pressed and greys when disabled, radios as circles. Every
// state the user must see is shown: which page, which tab, whether the SELECT button's picture
// is selected, which medium is in use and which one is not available.
#include "page_drawing.h"

#include "camera_window_state.h"
#include "picture_list.h"
#include "../camera/camera_position.h"
#include "../camera/camera_settings.h"
#include "../resources/resource_ids.h"
#include "../twain/scoped_handle.h"
#include "../twain/source_state.h"

namespace {

const RECT PAGE_FRAME = {96, 34, 360, 266};
const RECT CAMERA_TAB = {99, 20, 170, 35};
const RECT OPTION_TAB = {171, 20, 242, 35};
const COLORREF PAGE_COLOUR = RGB(212, 208, 200);
const COLORREF TAB_BEHIND_COLOUR = RGB(160, 160, 160);
const COLORREF DISABLED_TEXT = RGB(128, 128, 128);

struct Label {
    int x, y;
    const char* text;
};
const Label OPTION_LABELS[] = {{125, 74, "MODEL"}, {125, 142, "PORT"}, {125, 210, "SPEED"}};
const Label CAMERA_LABELS[] = {{128, 154, "SELECT"}, {280, 60, "SELECT ALL"}, {280, 114, "CANCEL ALL"},
                               {172, 188, "CARD"}, {280, 188, "MEMORY"}};

void fill(HDC dc, const RECT& area, COLORREF colour)
{
    ScopedGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &area, static_cast<HBRUSH>(brush.get()));
}

void drawTab(HDC dc, const RECT& area, const char* text, bool front)
{
    fill(dc, area, front ? PAGE_COLOUR : TAB_BEHIND_COLOUR);
    RECT edge = area;
    DrawEdge(dc, &edge, EDGE_RAISED, front ? (BF_LEFT | BF_TOP | BF_RIGHT) : BF_RECT);
    RECT textArea = area;
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &textArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void drawLabels(HDC dc, const Label* labels, size_t count)
{
    SelectedObject font(dc, g_cameraWindow.fonts.label ? g_cameraWindow.fonts.label : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < count; ++i) TextOutA(dc, labels[i].x, labels[i].y, labels[i].text, lstrlenA(labels[i].text));
}

// The SELECT button's picture counts as selected when the list holds it.
bool currentSelected()
{
    return pictureListFindCurrent() == PICTURE_SELECTED;
}

void drawPlainButton(HDC dc, HWND control, bool pressed, bool marked)
{
    RECT area;
    GetClientRect(control, &area);
    fill(dc, area, marked ? RGB(255, 230, 140) : PAGE_COLOUR);
    RECT edge = area;
    DrawEdge(dc, &edge, pressed || marked ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    char text[32] = "";
    const int id = GetDlgCtrlID(control);
    if (id == IDC_CAMERA) lstrcpyA(text, g_camera.connected ? "LINK" : "CAM");
    else if (id == IDC_DISK) lstrcpyA(text, "FILES");
    else GetWindowTextA(control, text, sizeof text);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(control) ? RGB(0, 0, 0) : DISABLED_TEXT);
    if (pressed) OffsetRect(&area, 1, 1);
    DrawTextA(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// Radios: a filled circle for the medium in use, an empty one for the other medium, a grey one
// where the medium is not available (no connection, or a family without it).
void drawRadio(HDC dc, HWND control, int id)
{
    RECT area;
    GetClientRect(control, &area);
    fill(dc, area, PAGE_COLOUR);
    const uint32_t thisMedium = id == IDC_CARD ? 1 : 0;
    const int32_t lacking = id == IDC_CARD ? MODEL_LX3 : MODEL_LX1;
    bool available = g_cameraWindow.page != CAMERA_OFFLINE;
    const bool chosen = available && g_camera.storageMedium == thisMedium;
    if (!chosen && g_settings.modelNumber == lacking) available = false;
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, available ? RGB(0, 0, 0) : DISABLED_TEXT));
    ScopedGdiObject brush(CreateSolidBrush(chosen ? RGB(0, 0, 0) : available ? RGB(255, 255, 255) : DISABLED_TEXT));
    SelectedObject usePen(dc, pen.get());
    SelectedObject useBrush(dc, brush.get());
    Ellipse(dc, area.left + 1, area.top + 1, area.right - 1, area.bottom - 1);
}

void drawButton(const DRAWITEMSTRUCT& item, bool pressed)
{
    if (item.CtlID < IDC_CAMERA || item.CtlID > IDC_MEMORY) return;
    if (item.CtlID == IDC_CARD || item.CtlID == IDC_MEMORY) {
        drawRadio(item.hDC, item.hwndItem, item.CtlID);
        return;
    }
    const bool marked = item.CtlID == IDC_SELECT && g_cameraWindow.page == CAMERA_ONLINE && currentSelected();
    drawPlainButton(item.hDC, item.hwndItem, pressed, marked && !pressed);
}

void drawSelectLook(bool selected)
{
    HWND window = g_source.cameraWindow;
    HWND button = window ? GetDlgItem(window, IDC_SELECT) : nullptr;
    if (!button) return;
    WindowDC dc(button);
    if (dc) drawPlainButton(dc.get(), button, false, selected);
}

// Whether picture `number` is in the list, looked up as the list sees the current picture.
bool selectedAt(uint16_t number)
{
    const uint16_t current = g_camera.currentPicture;
    g_camera.currentPicture = number;
    const bool selected = currentSelected();
    g_camera.currentPicture = current;
    return selected;
}

WNDPROC g_previousProcedure[IDC_MEMORY - IDC_CAMERA + 1];

// A fast second click arrives as a double click: it counts as a second press.
LRESULT CALLBACK subclassedButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int id = GetDlgCtrlID(button);
    if (message == WM_LBUTTONDBLCLK) {
        PostMessageA(button, WM_LBUTTONDOWN, wParam, lParam);
        return 0;
    }
    return CallWindowProcA(g_previousProcedure[id - IDC_CAMERA], button, message, wParam, lParam);
}

}  // namespace

void paintShownPage(HWND window, HDC dc)
{
    (void)window;
    const bool cameraPage = cameraPageShown();
    fill(dc, PAGE_FRAME, PAGE_COLOUR);
    RECT frame = PAGE_FRAME;
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    SelectedObject font(dc, g_cameraWindow.fonts.control ? g_cameraWindow.fonts.control : GetStockObject(DEFAULT_GUI_FONT));
    drawTab(dc, CAMERA_TAB, "CAMERA", cameraPage);
    drawTab(dc, OPTION_TAB, "OPTION", !cameraPage);
    if (!cameraPage) {
        drawLabels(dc, OPTION_LABELS, sizeof OPTION_LABELS / sizeof OPTION_LABELS[0]);
        return;
    }
    drawLabels(dc, CAMERA_LABELS, sizeof CAMERA_LABELS / sizeof CAMERA_LABELS[0]);
    // The slash between the picture number and the picture count.
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    SelectedObject usePen(dc, pen.get());
    MoveToEx(dc, 228, 90, nullptr);
    LineTo(dc, 220, 110);
}

void drawButtonPressed(const DRAWITEMSTRUCT& item)
{
    drawButton(item, true);
}

void drawButtonNormal(const DRAWITEMSTRUCT& item)
{
    drawButton(item, false);
}

void drawSelectForCurrent()
{
    drawSelectLook(currentSelected());
}

void drawSelectNotSelected()
{
    drawSelectLook(false);
}

void drawSelectForSelectAll()
{
    drawSelectLook(pictureCountOfModel() != 0);
}

void drawSelectForNext()
{
    const uint32_t count = pictureCountOfModel();
    const uint16_t next = g_camera.currentPicture < count ? g_camera.currentPicture + 1 : 1;
    drawSelectLook(selectedAt(next));
}

void drawSelectForPrevious()
{
    const uint16_t previous = g_camera.currentPicture > 1 ? g_camera.currentPicture - 1
                                                          : static_cast<uint16_t>(pictureCountOfModel());
    drawSelectLook(selectedAt(previous));
}

void subclassButton(HWND button)
{
    const int id = GetDlgCtrlID(button);
    if (id < IDC_CAMERA || id > IDC_MEMORY) return;
    g_previousProcedure[id - IDC_CAMERA] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassedButtonProc)));
}
