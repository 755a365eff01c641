// The calls into the maker's libraries that report progress. Each one tells the progress
// listener it starts, passes the libraries' progress reports on to it, tells it when the call
// has ended (also when the library never sent its end code) and whether the keyboard goes back
// to the owner, and returns the library's code unchanged.
#pragma once

#include <windows.h>
#include <cstdint>

#include "win32/maker/vx3cm32.h"
#include "win32/maker/vxk4x32.h"
#include "win32/maker/vxxif32.h"

// Where a picture being decoded came from: a camera picture's decode gives the keyboard back
// to the progress dialog's owner, a file's leaves it where the file browser keeps it.
enum class PictureFrom { Camera, File };

// What a library is doing while it reports.
enum class ProgressTask : uint16_t {
    Download,     // LX-1 and LX-2 downloads
    DownloadLx3,  // LX-3 downloads
    Decode,       // Exif and K4I decodes
};

// Whoever shows the progress of the library calls: the window layer installs one
// (camera_window/progress_dialog.h). Without one the calls run unwatched.
struct ProgressListener {
    // The window that owns the progress of the acquisition's calls; the libraries get it too.
    HWND (*owner)();
    // Before each call, with the call's owner.
    void (*callStarts)(HWND owner);
    // Each report of the library: PROGRESS_BEGIN, PROGRESS_PERCENT with the percentage,
    // PROGRESS_END. PROGRESS_HALT back stops the library.
    int (*report)(ProgressTask task, int code, int value);
    // After each call; `focusOwner`: the keyboard goes back to the owner.
    void (*callEnded)(HWND owner, bool focusOwner);
};

void cameraReportProgressTo(const ProgressListener& listener);
// The listener's owner window; 0 without a listener.
HWND progressOwner();

// LX-1 and LX-2 downloads of picture n as camera data into a movable block the caller owns.
uint16_t libGetPicture1(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize);
uint16_t libGetPicture2(HWND owner, uint16_t pictureNumber, HGLOBAL* data, uint32_t* dataSize);
// LX-3 download of request->pictureNumber as Exif JPEG data into request->data.
uint16_t libGetPicture3(HWND owner, CameraHandle handle, PICTURE_REQUEST* request);

// Whole-picture decodes; the options are the caller's full-picture values. The K4I and
// in-memory Exif decodes give the focus back to the owner only for a camera's picture, because
// the file browser keeps its own focus; the Exif file decode never does.
uint16_t libDecodeK4iFile(HWND owner, PictureFrom from, LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options);
uint16_t libDecodeExifFile(HWND owner, LPCSTR path, EXIF_RESULT* result, EXIF_OPTIONS* options);
uint16_t libDecodeExifMemory(HWND owner, PictureFrom from, HGLOBAL data, DWORD dataSize, EXIF_RESULT* result,
                             EXIF_OPTIONS* options);
