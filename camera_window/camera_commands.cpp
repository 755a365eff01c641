// The camera page commands. Each runs to completion inside the camera window's WM_COMMAND;
// the busy command tells the SELECT button's drawing which picture is about to be current.
#include "camera_window/camera_commands.h"

#include "camera_window/camera_window.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/page_drawing.h"
#include "camera_window/picture_list.h"
#include "camera/acquisition.h"
#include "camera/camera_connection.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "win32/maker/maker_common.h"
#include "twain/capabilities.h"
#include "twain/error_report.h"
#include "twain/notifications.h"
#include "twain/source_state.h"

namespace {

const char INSUFFICIENT_MEMORY[] = "Insufficient memory.  ";

void finish(uint16_t code)
{
    if (code != 0) fallBackAfterCameraFailure(code);
    g_cameraWindow.busy = BUSY_NONE;
}

void step(BusyCommand busy, void (*drawLook)(), uint16_t (*move)())
{
    g_cameraWindow.busy = busy;
    drawLook();
    finish(move());
}

// The memory transfer's first picture. False when OK has to stop here.
bool acquireFirstImage()
{
    HGLOBAL bitmap = nullptr;
    const uint16_t code = acquireNext(&bitmap);
    if (code == 0) {
        if (!bitmap) return false;
        if (holdCurrentBitmap(bitmap)) return true;
        g_source.conditionCode = ConditionCode::LowMemory;
        twainFailure(INSUFFICIENT_MEMORY, ConditionCode::LowMemory);
        return false;
    }
    g_source.conditionCode = ConditionCode::OperationError;
    if (code == DEC_ERR_NOMEMORY || code == DEC_ERR_NOMEMORY2) {
        g_source.conditionCode = ConditionCode::LowMemory;
        twainFailure(INSUFFICIENT_MEMORY, ConditionCode::LowMemory);
    } else if (code == DEC_ERR_CANCELLED || code == CAM_ERR_CANCELLED) {
        // The user stopped it in the progress dialog: no message, the page stays, in step
        // with the camera again.
        cameraResync();
    } else {
        fallBackClosingCamera(code);
    }
    return false;
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
    const uint16_t code = cameraGoTo(command);
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
        code = cameraNext();  // selecting a picture moves on to the next one
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
    if (g_settings.modelNumber != MODEL_LX2) {
        g_cameraWindow.busy = BUSY_NONE;
        return;
    }
    const uint16_t code = cameraSetMedium(medium);
    if (code == 0) drawSelectNotSelected();
    finish(code);
}

void commandOk(HWND window)
{
    const uint16_t selected = pictureListCount();
    if (selected == 0) {
        errorBox(window, 0, ERROR_SELECT_IMAGES, nullptr);
        return;
    }
    g_source.transferOrigin = ORIGIN_CAMERA_WINDOW;
    g_source.pendingCount = static_cast<int16_t>(selected);
    if (!g_source.currentBitmap && memoryTransferSelected() && !acquireFirstImage()) return;
    g_source.imageInfoMarker = 0;
    notifyTransferReady();
    InvalidateRect(window, nullptr, FALSE);
}
