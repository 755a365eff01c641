// The calls into the maker's libraries that show the progress dialog.
#include "camera/library_calls.h"

#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"
#include "camera_window/progress_dialog.h"
#include "twain/source_state.h"

namespace {

// The fixed values the LX-1 and LX-2 downloads expect after the info block.
const int32_t DOWNLOAD_FIXED = 1;
// The user value of every progress hook.
const DWORD HOOK_USER_DATA = 1;

// Runs one library call with its progress dialog owned by `owner`. Whatever the library did
// with the protocol, no dialog and no disabled owner outlive the call.
template <typename Call>
uint16_t withProgressDialog(HWND owner, Call call) {
    progressSetOwner(owner);
    uint16_t code = call();
    progressFinish();
    return code;
}

// A download always ends with the keyboard in the window that asked for it.
void focusOwner(HWND owner) {
    if (owner) SetFocus(owner);
}

// The K4I and in-memory Exif decodes run for camera pictures and for files; only a camera
// picture's decode hands the focus back to the camera window.
void focusOwnerForCameraPicture(HWND owner) {
    if (g_source.transferOrigin == ORIGIN_CAMERA_WINDOW) focusOwner(owner);
}

}  // namespace

uint16_t libGetPicture1(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize) {
    BYTE info[16];  // the library writes it, nobody reads it
    uint16_t code = withProgressDialog(owner, [&] {
        return vx1_camGetPicture(owner, pictureNumber, data, dataSize, info, DOWNLOAD_FIXED, DOWNLOAD_FIXED,
                                 progressDownload);
    });
    focusOwner(owner);
    return code;
}

uint16_t libGetPicture2(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize) {
    BYTE info[16];
    uint16_t code = withProgressDialog(owner, [&] {
        return vx2_camGetPicture(owner, pictureNumber, data, dataSize, info, DOWNLOAD_FIXED, DOWNLOAD_FIXED,
                                 progressDownload);
    });
    focusOwner(owner);
    return code;
}

uint16_t libGetPicture3(HWND owner, CameraHandle handle, PICTURE_REQUEST* request) {
    PROGRESS_HOOK hook = {progressDownloadLx3, HOOK_USER_DATA};
    uint16_t code = withProgressDialog(owner, [&] { return vx3_camGetPicture(handle, request, 1, &hook); });
    focusOwner(owner);
    return code;
}

uint16_t libDecodeK4iFile(HWND owner, LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options) {
    uint16_t code = withProgressDialog(owner, [&] { return k4iDecodeFile(path, result, options, owner, progressDecodeK4i); });
    focusOwnerForCameraPicture(owner);
    return code;
}

uint16_t libDecodeExifFile(HWND owner, LPCSTR path, EXIF_RESULT* result, EXIF_OPTIONS* options) {
    WORD orientation = 0;  // the decoder reports it, the source has no use for it
    PROGRESS_HOOK hook = {progressDecodeExif, HOOK_USER_DATA};
    return withProgressDialog(owner, [&] { return exifDecodeFile(path, result, &orientation, options, &hook); });
}

uint16_t libDecodeExifMemory(HWND owner, HGLOBAL data, DWORD dataSize, EXIF_RESULT* result, EXIF_OPTIONS* options) {
    WORD orientation = 0;
    PROGRESS_HOOK hook = {progressDecodeExif, HOOK_USER_DATA};
    uint16_t code = withProgressDialog(
        owner, [&] { return exifDecodeMemory(data, dataSize, result, &orientation, options, &hook); });
    focusOwnerForCameraPicture(owner);
    return code;
}
