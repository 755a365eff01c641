// The camera page commands. Each runs to completion inside the camera window's WM_COMMAND;
// the busy command tells the SELECT button's drawing which picture is about to be current.
#include "camera_window/camera_commands.h"

#include "camera/camera_connection.h"
#include "camera/camera_families.h"
#include "camera/camera_position.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/error_box.h"
#include "camera_window/page_drawing.h"
#include "camera_window/picture_list.h"
#include "camera_window/requests.h"
#include "resources/resource_ids.h"

#include <cstdio>
#include <cstdlib>

namespace {

// What the number box may hold: four digits are more than any camera's count needs.
const int NUMBER_BOX_CHARACTERS = 4;

bool windowExists()
{
    return g_cameraWindow.window && IsWindow(g_cameraWindow.window);
}

HWND pageControl(int id)
{
    return windowExists() ? GetDlgItem(g_cameraWindow.window, id) : nullptr;
}

void setNumber(int id, unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lu", value);
    HWND box = pageControl(id);
    if (!box) return;
    // Setting the number box notifies the window, whose jump puts the current number back when
    // the box holds no valid one: with no current picture (0) that would never end.
    char shown[16] = "";
    GetWindowTextA(box, shown, sizeof shown);
    if (lstrcmpA(shown, text) != 0) SetWindowTextA(box, text);
}

// A move of the camera, shown when the camera holds pictures to move through.
uint16_t moveCamera(uint16_t (*move)())
{
    const uint16_t code = move();
    if (code == 0 && pictureCountOfModel() != 0) showCameraPosition();
    return code;
}

void finish(uint16_t code)
{
    if (code != 0) fallBackAfterCameraFailure(code);
    g_cameraWindow.busy = BUSY_NONE;
}

void step(BusyCommand busy, void (*drawLook)(), uint16_t (*move)())
{
    g_cameraWindow.busy = busy;
    drawLook();
    finish(moveCamera(move));
}

// The number typed into the number box, when it names another picture of a camera that jumps
// to a number. A number out of range puts the current number back into the box.
uint16_t jumpToTypedNumber(WPARAM command)
{
    const CameraFamily* family = cameraFamily();
    if (!family || !family->jumpsToNumber || pictureCountOfModel() == 0 || HIWORD(command) != EN_CHANGE) return 0;
    HWND box = pageControl(IDC_NUMBER);
    char text[NUMBER_BOX_CHARACTERS + 1] = "";
    if (!box || GetWindowTextA(box, text, sizeof text) == 0) return 0;

    const uint16_t number = static_cast<uint16_t>(std::atoi(text));
    if (number == 0 || number > pictureCountOfModel()) {
        showCameraPosition();
        return 0;
    }
    return cameraGoTo(number);
}

}  // namespace

void commandPrevious()
{
    step(BUSY_PREVIOUS, drawSelectForPrevious, cameraPrev);
}

void commandNext()
{
    step(BUSY_NEXT, drawSelectForNext, cameraNext);
}

void commandJump(WPARAM command)
{
    const uint16_t code = jumpToTypedNumber(command);
    if (code == 0) drawSelectForCurrent();
    finish(code);
}

void commandSelect()
{
    // A camera that reports no current picture while holding pictures: there is nothing to
    // mark, and picture 0 must never reach the list. The button takes back the look that the
    // mouse release drew for a selection that did not happen.
    if (g_camera.currentPicture == 0) {
        drawSelectForCurrent();
        return;
    }
    g_cameraWindow.busy = BUSY_SELECT;
    uint16_t code = 0;
    if (pictureListFindCurrent() != PICTURE_SELECTED) {
        pictureListAppendCurrent();
        code = moveCamera(cameraNext);  // selecting a picture moves on to the next one
    } else {
        pictureListRemoveCurrent();
    }
    finish(code);
    // The button shows the new selection of the picture now current. A mouse release drew that
    // look already; space on the focused button has nothing else that draws it.
    if (code == 0) drawSelectForCurrent();
}

void commandSelectAll()
{
    g_cameraWindow.busy = BUSY_SELECT_ALL;
    drawSelectForSelectAll();
    pictureListEmpty();
    pictureListAppendAll();
    g_cameraWindow.busy = BUSY_NONE;
}

void commandCancelAll()
{
    g_cameraWindow.busy = BUSY_CANCEL_ALL;
    drawSelectNotSelected();
    pictureListEmpty();
    g_cameraWindow.busy = BUSY_NONE;
}

void commandChooseMedium(uint16_t medium)
{
    const CameraFamily* family = cameraFamily();
    if (!family || !family->switchesMedium) {
        g_cameraWindow.busy = BUSY_NONE;
        return;
    }
    // The other medium holds other pictures: the marks go.
    pictureListEmpty();
    const uint16_t code = cameraSetMedium(medium);
    if (code == 0) {
        showCameraPosition();
        drawSelectNotSelected();
    }
    finish(code);
}

void commandOk(HWND window)
{
    const uint16_t selected = pictureListCount();
    if (selected == 0) {
        errorBox(window, 0, ERROR_SELECT_IMAGES, nullptr);
        return;
    }
    if (requestAnnouncement({ORIGIN_CAMERA_WINDOW, FILE_KIND_NONE, selected})) InvalidateRect(window, nullptr, FALSE);
}

void showCameraPosition()
{
    setNumber(IDC_NUMBER, g_camera.currentPicture);
    setNumber(IDC_TOTAL, pictureCountOfModel());
    if (windowExists()) InvalidateRect(g_cameraWindow.window, nullptr, FALSE);
}

uint16_t resyncCameraPage()
{
    const uint16_t code = cameraResync();
    if (code == 0) showCameraPosition();
    return code;
}

uint16_t closeCameraLink()
{
    pictureListEmpty();
    return cameraClose();
}

uint16_t disconnectCamera()
{
    pictureListEmpty();
    return cameraDisconnect();
}

void fallBackAfterCameraFailure(uint16_t code)
{
    HWND window = g_cameraWindow.window;
    errorBox(window, code, ERROR_COMMUNICATION, nullptr);
    g_cameraWindow.page = OPTION_OFFLINE;
    g_cameraWindow.busy = BUSY_NONE;
    if (windowExists()) SendMessageA(window, UM_OPTIONTAB, 0, 0);
}

void fallBackClosingCamera(uint16_t code)
{
    HWND window = g_cameraWindow.window;
    errorBox(window, code, ERROR_COMMUNICATION, nullptr);
    disconnectCamera();
    const bool exists = windowExists();
    if (exists) SendMessageA(window, WM_SETREDRAW, FALSE, 0);
    g_cameraWindow.page = OPTION_OFFLINE;
    if (!exists) return;
    SendMessageA(window, UM_OPTIONTAB, 0, 0);
    SendMessageA(window, WM_SETREDRAW, TRUE, 0);
    SetFocus(window);
    InvalidateRect(window, nullptr, FALSE);
}
