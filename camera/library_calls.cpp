// The calls into the maker's libraries that report progress, and the callbacks the libraries
// report through, which pass every report on to the listener.
#include "camera/library_calls.h"

#include "win32/maker/vx1cm32.h"
#include "win32/maker/vx2cm32.h"

namespace {

// The fixed values the LX-1 and LX-2 downloads expect after the info block.
const int32_t DOWNLOAD_FIXED = 1;
// The user value of every progress hook.
const DWORD HOOK_USER_DATA = 1;

ProgressListener g_listener = {};

int report(ProgressTask task, int code, int value)
{
    return g_listener.report ? g_listener.report(task, code, value) : PROGRESS_GO_ON;
}

int WINAPI reportDownload(int code, int value)
{
    return report(ProgressTask::Download, code, value);
}

int WINAPI reportDownloadLx3(int code, int value, DWORD)
{
    return report(ProgressTask::DownloadLx3, code, value);
}

int WINAPI reportDecodeK4i(int code, int value)
{
    return report(ProgressTask::Decode, code, value);
}

int WINAPI reportDecodeExif(int code, int value, DWORD)
{
    return report(ProgressTask::Decode, code, value);
}

// Runs one library call between the listener's start and end, whatever the library did with
// its own begin and end codes.
template <typename Call>
uint16_t watched(HWND owner, bool focusOwner, Call call)
{
    if (g_listener.callStarts) g_listener.callStarts(owner);
    const uint16_t code = call();
    if (g_listener.callEnded) g_listener.callEnded(owner, focusOwner);
    return code;
}

}  // namespace

void cameraReportProgressTo(const ProgressListener& listener)
{
    g_listener = listener;
}

HWND progressOwner()
{
    return g_listener.owner ? g_listener.owner() : nullptr;
}

// A download always ends with the keyboard in the window that asked for it.
uint16_t libGetPicture1(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize)
{
    BYTE info[16];  // the library writes it, nobody reads it
    return watched(owner, true, [&] {
        return vx1_camGetPicture(owner, pictureNumber, data, dataSize, info, DOWNLOAD_FIXED, DOWNLOAD_FIXED,
                                 reportDownload);
    });
}

uint16_t libGetPicture2(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize)
{
    BYTE info[16];
    return watched(owner, true, [&] {
        return vx2_camGetPicture(owner, pictureNumber, data, dataSize, info, DOWNLOAD_FIXED, DOWNLOAD_FIXED,
                                 reportDownload);
    });
}

uint16_t libGetPicture3(HWND owner, CameraHandle handle, PICTURE_REQUEST* request)
{
    PROGRESS_HOOK hook = {reportDownloadLx3, HOOK_USER_DATA};
    return watched(owner, true, [&] { return vx3_camGetPicture(handle, request, 1, &hook); });
}

uint16_t libDecodeK4iFile(HWND owner, PictureFrom from, LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options)
{
    return watched(owner, from == PictureFrom::Camera,
                   [&] { return k4iDecodeFile(path, result, options, owner, reportDecodeK4i); });
}

uint16_t libDecodeExifFile(HWND owner, LPCSTR path, EXIF_RESULT* result, EXIF_OPTIONS* options)
{
    WORD orientation = 0;  // the decoder reports it, the source has no use for it
    PROGRESS_HOOK hook = {reportDecodeExif, HOOK_USER_DATA};
    return watched(owner, false, [&] { return exifDecodeFile(path, result, &orientation, options, &hook); });
}

uint16_t libDecodeExifMemory(HWND owner, PictureFrom from, HGLOBAL data, DWORD dataSize, EXIF_RESULT* result,
                             EXIF_OPTIONS* options)
{
    WORD orientation = 0;
    PROGRESS_HOOK hook = {reportDecodeExif, HOOK_USER_DATA};
    return watched(owner, from == PictureFrom::Camera,
                   [&] { return exifDecodeMemory(data, dataSize, result, &orientation, options, &hook); });
}
