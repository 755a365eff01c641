// The camera window's drawing: both pages from their bitmaps, the owner-drawn buttons in their
// released, pressed and disabled looks, the SELECT button's looks and the immediate feedback of
// the four subclassed buttons.
#include "camera_window/page_drawing.h"

#include "camera/camera_connection.h"
#include "camera/camera_families.h"
#include "camera/camera_position.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/picture_list.h"
#include "camera_window/window_class.h"
#include "resources/resource_ids.h"
#include "win32/maker/vx2cm32.h"
#include "win32/scoped_handle.h"

namespace {

// Where the page bitmaps and the pictures on them go, in client pixels. The card and memory
// pictures show only their rows 10 to 39.
struct Picture {
    const char* name;
    int x, y;
    int sourceY, height;
};
const Picture CAMERA_PAGE_PICTURES[] = {
    {"IDB_CAMERATAB", 96, 18, 0, 248},
    {"IDB_CARD", 172, 184, 10, 30},
    {"IDB_MEMORY", 280, 184, 10, 30},
};
const Picture OPTION_PAGE_PICTURES[] = {
    {"IDB_OPTIONTAB", 96, 18, 0, 248},
    {"IDB_LX-2", 125, 55, 0, 48},
    {"IDB_PORT", 125, 123, 0, 48},
    {"IDB_SPEED", 125, 191, 0, 48},
};

struct Label {
    int x, y;
    const char* text;
};
const Label CAMERA_PAGE_LABELS[] = {{128, 154, "SELECT"}, {280, 60, "SELECT ALL"}, {280, 114, "CANCEL ALL"}};

const POINT SLASH_FROM = {228, 90};
const POINT SLASH_TO = {220, 110};

// Button drawing state: a press that went down on the camera-link or SELECT button, and the
// one normal-look drawing that a completed click on them skips (they drew the look after the
// click themselves, before the button's own redraw).
struct ButtonFeedback {
    bool cameraArmed;
    bool selectArmed;
    bool cameraSkip;
    bool selectSkip;
    WNDPROC previous[4];  // IDC_CAMERA, IDC_SELECT, IDC_SELECTALL, IDC_CANCELALL
};
ButtonFeedback g_feedback;

int subclassSlot(int id)
{
    switch (id) {
    case IDC_CAMERA:    return 0;
    case IDC_SELECT:    return 1;
    case IDC_SELECTALL: return 2;
    case IDC_CANCELALL: return 3;
    default:            return -1;
    }
}

// A bitmap of the module for one drawing.
ScopedGdiObject loadBitmap(const char* name)
{
    return ScopedGdiObject(LoadBitmapA(windowsModule(), name));
}

// Runs draw(memory DC, bitmap size) with the bitmap selected into a memory DC that matches
// `dc`. A bitmap that could not be loaded leaves its place undrawn.
template <typename Draw>
void withBitmap(HDC dc, HGDIOBJ bitmap, Draw draw)
{
    BITMAP info;
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    {
        SelectedObject source(memory, bitmap);
        draw(memory, info);
    }
    DeleteDC(memory);
}

// Copies `height` rows of a bitmap from row `sourceY` on, 1:1, to (x, y).
void copyBitmap(HDC dc, HGDIOBJ bitmap, int x, int y, int sourceY, int height)
{
    withBitmap(dc, bitmap, [&](HDC memory, const BITMAP& info) {
        BitBlt(dc, x, y, info.bmWidth, height, memory, 0, sourceY, SRCCOPY);
    });
}

// Draws a whole bitmap into the control's top-left size x size square.
void stretchBitmap(HDC dc, HGDIOBJ bitmap, int size)
{
    withBitmap(dc, bitmap, [&](HDC memory, const BITMAP& info) {
        StretchBlt(dc, 0, 0, size, size, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    });
}

// A page's bitmaps, each loaded for this drawing only.
template <size_t N>
void copyPictures(HDC dc, const Picture (&pictures)[N])
{
    for (const Picture& picture : pictures) {
        ScopedGdiObject bitmap = loadBitmap(picture.name);
        copyBitmap(dc, bitmap.get(), picture.x, picture.y, picture.sourceY, picture.height);
    }
}

void stretchNamedBitmap(HDC dc, const char* name, int size)
{
    ScopedGdiObject bitmap = loadBitmap(name);
    stretchBitmap(dc, bitmap.get(), size);
}

// A button's own device context, for the looks drawn outside WM_DRAWITEM.
void drawOnButton(HWND button, HGDIOBJ bitmap, int size)
{
    WindowDC dc(button);
    if (dc) stretchBitmap(dc.get(), bitmap, size);
}

HWND selectButton()
{
    return g_cameraWindow.window ? GetDlgItem(g_cameraWindow.window, IDC_SELECT) : nullptr;
}

// ---- SELECT looks ----

bool currentSelected()
{
    return pictureListFindCurrent() == PICTURE_SELECTED;
}

bool selectedIfCurrentWere(uint16_t number)
{
    return pictureListContains(number);
}

bool nextSelected()
{
    const uint32_t count = pictureCountOfModel();
    const uint16_t current = g_camera.currentPicture;
    return selectedIfCurrentWere(current < count ? current + 1 : 1);
}

bool previousSelected()
{
    const uint16_t current = g_camera.currentPicture;
    return selectedIfCurrentWere(current == 1 ? static_cast<uint16_t>(pictureCountOfModel()) : current - 1);
}

HGDIOBJ selectLook(bool selected)
{
    return selected ? g_cameraWindow.bitmaps.selectPressed : g_cameraWindow.bitmaps.select;
}

void drawSelectLook(bool selected)
{
    HWND button = selectButton();
    if (button) drawOnButton(button, selectLook(selected), 32);
}

// What the SELECT button shows while the busy command runs, or for the current picture.
bool selectShownSelected()
{
    switch (g_cameraWindow.busy) {
    case BUSY_NEXT:       return nextSelected();
    case BUSY_PREVIOUS:   return previousSelected();
    case BUSY_SELECT_ALL: return pictureCountOfModel() != 0;
    case BUSY_CANCEL_ALL: return false;
    default:              return currentSelected();
    }
}

// ---- Radios ----

// The same in both looks: not available offline or on a family without this medium, lit for the
// medium in use (LX-1 cameras use the card, LX-3 cameras the internal memory).
const char* radioImage(int id)
{
    if (g_cameraWindow.page == CAMERA_OFFLINE) return "IDB_DSRADIO";
    const uint32_t medium = id == IDC_CARD ? MEDIUM_CARD : MEDIUM_INTERNAL;
    if (g_camera.storageMedium == medium) return "IDB_ONRADIO";
    const CameraFamily* family = cameraFamily();
    if (family && !(id == IDC_CARD ? family->hasCard : family->hasInternalMemory)) return "IDB_DSRADIO";
    return "IDB_OFRADIO";
}

// ---- Owner-drawn looks ----

// The image of a button look: one of the kept bitmaps, or a resource loaded for this drawing,
// and the side of the square it fills.
struct Look {
    HGDIOBJ kept;
    const char* name;
    int size;
};

Look kept(HGDIOBJ bitmap, int size)
{
    return {bitmap, nullptr, size};
}

Look loaded(const char* name, int size)
{
    return {nullptr, name, size};
}

const Look NOTHING = {nullptr, nullptr, 0};

Look pressedLook(int id)
{
    const KeptBitmaps& bitmaps = g_cameraWindow.bitmaps;
    switch (id) {
    case IDC_CAMERA:    return kept(bitmaps.cameraPressed, 48);
    case IDC_DISK:      return loaded("IDB_FILEDW", 48);
    case IDC_SELECT:    return kept(bitmaps.selectPressed, 32);
    case IDC_SELECTALL: return kept(bitmaps.selectAllPressed, 32);
    case IDC_CANCELALL: return loaded("IDB_CLEARDW", 32);
    case IDC_PREV:      return loaded("IDB_PREVDW", 32);
    case IDC_NEXT:      return loaded("IDB_NEXTDW", 32);
    case IDC_CARD:
    case IDC_MEMORY:    return loaded(radioImage(id), 15);
    default:            return NOTHING;
    }
}

Look normalLook(int id)
{
    const KeptBitmaps& bitmaps = g_cameraWindow.bitmaps;
    const bool offline = g_cameraWindow.page == CAMERA_OFFLINE;
    switch (id) {
    case IDC_CAMERA:    return kept(cameraConnected() ? bitmaps.cameraPressed : bitmaps.camera, 48);
    case IDC_DISK:      return loaded("IDB_FILE", 48);
    case IDC_SELECT:    return offline ? loaded("IDB_DISKDIS", 32) : kept(selectLook(selectShownSelected()), 32);
    case IDC_SELECTALL: return offline ? loaded("IDB_DISKDIS", 32) : kept(bitmaps.selectAll, 32);
    case IDC_CANCELALL: return offline ? loaded("IDB_CLEARDIS", 32) : kept(bitmaps.clear, 32);
    case IDC_PREV:      return loaded(offline ? "IDB_PREVDIS" : "IDB_PREV", 32);
    case IDC_NEXT:      return loaded(offline ? "IDB_NEXTDIS" : "IDB_NEXT", 32);
    case IDC_CARD:
    case IDC_MEMORY:    return loaded(radioImage(id), 15);
    default:            return NOTHING;
    }
}

void drawLook(HDC dc, const Look& look)
{
    if (look.name) stretchNamedBitmap(dc, look.name, look.size);
    else stretchBitmap(dc, look.kept, look.size);
}

// ---- Subclassed buttons ----

// "Released inside" means within the button's client rectangle: a release on its right or
// bottom edge line (x or y equal to the width) is outside and sends no command either.
bool releasedInside(HWND button, LPARAM lParam)
{
    RECT client;
    GetClientRect(button, &client);
    const WORD x = LOWORD(lParam), y = HIWORD(lParam);
    return x < client.right && y < client.bottom;
}

void onButtonDown(HWND button, int id)
{
    const KeptBitmaps& kept = g_cameraWindow.bitmaps;
    switch (id) {
    case IDC_CANCELALL: drawOnButton(button, kept.clearPressed, 32); break;
    case IDC_SELECTALL: drawOnButton(button, kept.selectAllPressed, 32); break;
    case IDC_CAMERA:
        g_feedback.cameraArmed = true;
        drawOnButton(button, kept.cameraPressed, 48);
        break;
    case IDC_SELECT:
        g_feedback.selectArmed = true;
        drawOnButton(button, kept.selectPressed, 32);
        break;
    }
}

void onButtonUp(HWND button, int id, LPARAM lParam)
{
    const KeptBitmaps& kept = g_cameraWindow.bitmaps;
    switch (id) {
    case IDC_CANCELALL: drawOnButton(button, kept.clear, 32); break;
    case IDC_SELECTALL: drawOnButton(button, kept.selectAll, 32); break;
    case IDC_CAMERA:
        if (g_feedback.cameraArmed && releasedInside(button, lParam)) {
            g_feedback.cameraSkip = true;
            // the look the link will have once the click has opened or closed it
            drawOnButton(button, cameraConnected() ? kept.camera : kept.cameraPressed, 48);
        }
        g_feedback.cameraArmed = false;
        break;
    case IDC_SELECT:
        if (g_feedback.selectArmed && releasedInside(button, lParam)) {
            g_feedback.selectSkip = true;
            // selecting moves on to the next picture; deselecting stays
            drawOnButton(button, selectLook(currentSelected() ? false : nextSelected()), 32);
        } else {
            drawOnButton(button, selectLook(currentSelected()), 32);
        }
        g_feedback.selectArmed = false;
        break;
    }
}

LRESULT CALLBACK subclassedButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int id = GetDlgCtrlID(button);
    const int slot = subclassSlot(id);
    WNDPROC previous = slot >= 0 ? g_feedback.previous[slot] : nullptr;
    if (!previous) return DefWindowProcA(button, message, wParam, lParam);
    switch (message) {
    case WM_LBUTTONDBLCLK:  // a fast second click is a second press
        PostMessageA(button, WM_LBUTTONDOWN, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN: onButtonDown(button, id); break;
    case WM_LBUTTONUP:   onButtonUp(button, id, lParam); break;
    }
    return CallWindowProcA(previous, button, message, wParam, lParam);
}

}  // namespace

void paintShownPage(HWND, HDC dc)
{
    if (!cameraPageShown()) {
        copyPictures(dc, OPTION_PAGE_PICTURES);
        return;
    }
    copyPictures(dc, CAMERA_PAGE_PICTURES);
    {
        SelectedObject font(dc, g_cameraWindow.fonts.label);
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        for (const Label& label : CAMERA_PAGE_LABELS) TextOutA(dc, label.x, label.y, label.text, lstrlenA(label.text));
        SetBkMode(dc, oldMode);
    }
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    SelectedObject usePen(dc, pen.get());
    MoveToEx(dc, SLASH_FROM.x, SLASH_FROM.y, nullptr);
    LineTo(dc, SLASH_TO.x, SLASH_TO.y);
}

void drawButtonPressed(const DRAWITEMSTRUCT& item)
{
    drawLook(item.hDC, pressedLook(item.CtlID));
}

void drawButtonNormal(const DRAWITEMSTRUCT& item)
{
    // A click on the camera-link or SELECT button has already drawn the look it leads to.
    if (g_feedback.cameraSkip) {
        g_feedback.cameraSkip = false;
        return;
    }
    if (g_feedback.selectSkip) {
        g_feedback.selectSkip = false;
        return;
    }
    drawLook(item.hDC, normalLook(item.CtlID));
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
    drawSelectLook(nextSelected());
}

void drawSelectForPrevious()
{
    drawSelectLook(previousSelected());
}

void subclassButton(HWND button)
{
    const int slot = subclassSlot(GetDlgCtrlID(button));
    if (slot < 0) return;
    g_feedback.previous[slot] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassedButtonProc)));
}
