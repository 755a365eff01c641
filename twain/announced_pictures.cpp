#include "twain/announced_pictures.h"

#include "camera/camera_connection.h"
#include "camera_window/camera_commands.h"
#include "camera_window/camera_window.h"
#include "camera_window/picture_list.h"
#include "file_browser/file_browser_window.h"
#include "file_browser/file_list.h"
#include "twain/capabilities.h"
#include "twain/dispatch.h"
#include "twain/notifications.h"
#include "twain/transfer_cursor.h"
#include "win32/maker/maker_common.h"

namespace {

const char NO_MEMORY_FAILURE[] = "Insufficient memory.  ";
const char FILE_READ_FAILURE[] = "File read error.  ";

bool noMemory(uint16_t code)
{
    return code == DEC_ERR_NOMEMORY || code == DEC_ERR_NOMEMORY2;
}

bool userCancelled(uint16_t code)
{
    return code == DEC_ERR_CANCELLED || code == CAM_ERR_CANCELLED;
}

// The camera window's selection, picture by picture; pictures the camera skips or that hold no
// picture are passed over.
uint16_t acquireFromCamera(DecodedPicture* picture)
{
    uint16_t code = 0;
    for (;;) {
        const uint16_t number = pictureListTakeFirst();
        if (number == 0) break;
        code = cameraTakePicture(number, picture);
        if (code != 0 || picture->bitmap) break;
    }
    if (code != 0) {
        fileListRelease();
        pictureListEmpty();
    }
    if (code != 0 || !picture->bitmap) {
        pendingEnd();
        showCameraPosition();
    }
    cameraWindowRedraw();
    return code;
}

// The file browser's selected files of the announced kind, in list order.
uint16_t acquireFromFiles(DecodedPicture* picture)
{
    const FileKind kind = g_transfer.fileKind;
    if (kind != FILE_KIND_EXIF && kind != FILE_KIND_K4I) return ACQUIRE_ERR_UNKNOWN;
    char name[MAX_PATH];
    if (!fileListTakeNextSelected(kind, name, sizeof name)) return 0;
    const uint16_t code = kind == FILE_KIND_EXIF ? decodeExifFile(picture, name) : decodeK4iFile(picture, name);
    if (code == DEC_ERR_CANCELLED) {
        // The user stopped it: no file of the selection is acquired any more.
        pendingEnd();
        fileBrowserClearSelection(kind);
    }
    fileBrowserRedraw();
    return code;
}

// The memory transfer's first picture, acquired at OK. False when OK has to stop here.
bool acquireFirstPicture()
{
    HGLOBAL bitmap = nullptr;
    const uint16_t code = acquireNextAnnounced(&bitmap);
    if (code != 0) {
        // Stopped in the progress dialog: the page stays, in step with the camera again.
        if (reportAcquisitionFailure(code) == AcquisitionFailure::Cancelled &&
            g_transfer.origin == ORIGIN_CAMERA_WINDOW)
            resyncCameraPage();
        return false;
    }
    if (!bitmap) return false;
    if (holdCurrentBitmap(bitmap)) return true;
    reportPictureNotHeld();
    return false;
}

void closeRequested()
{
    notifyCloseRequest();
}

}  // namespace

void handleUserRequests()
{
    windowsSendRequestsTo(UserRequests{announceSelection, closeRequested});
}

bool announceSelection(const Selection& selection)
{
    g_transfer.origin = selection.origin;
    if (selection.origin == ORIGIN_FILE_BROWSER) g_transfer.fileKind = selection.kind;
    if (selection.count == 0) return false;
    pendingAnnounce(selection.count);
    if (!g_transfer.heldBitmap && memoryTransferSelected() && !acquireFirstPicture()) return false;
    g_transfer.imageInfoMarker = 0;
    notifyTransferReady();
    return true;
}

uint16_t acquireNextAnnounced(HGLOBAL* bitmap)
{
    *bitmap = nullptr;
    DecodedPicture picture;
    uint16_t code = ACQUIRE_ERR_UNKNOWN;
    if (g_transfer.origin == ORIGIN_FILE_BROWSER) code = acquireFromFiles(&picture);
    if (g_transfer.origin == ORIGIN_CAMERA_WINDOW) code = acquireFromCamera(&picture);
    if (code != 0 || !picture.bitmap) return code;
    takePictureFacts(picture.facts);
    *bitmap = picture.bitmap;
    return 0;
}

AcquisitionFailure reportAcquisitionFailure(uint16_t code)
{
    if (noMemory(code)) {
        failWithReport(NO_MEMORY_FAILURE, ConditionCode::LowMemory);
        return AcquisitionFailure::NoMemory;
    }
    g_source.conditionCode = ConditionCode::OperationError;
    if (userCancelled(code)) return AcquisitionFailure::Cancelled;
    if (g_transfer.origin != ORIGIN_CAMERA_WINDOW) {
        failWithReport(FILE_READ_FAILURE, ConditionCode::OperationError);
        return AcquisitionFailure::FileUnreadable;
    }
    fallBackClosingCamera(code);
    // The box let the application's messages run, which may have read the condition code.
    g_source.conditionCode = ConditionCode::OperationError;
    return AcquisitionFailure::CameraFailed;
}

void reportPictureNotHeld()
{
    failWithReport(NO_MEMORY_FAILURE, ConditionCode::LowMemory);
}
