// What the user asks of the application through the source's windows: OK hands the chosen
// pictures up to be announced, CANCEL and the close box ask for the source to be closed. The
// protocol installs the handlers; the windows know nothing of what they do. The pictures
// themselves stay in the window's own list (camera_window/picture_list.h,
// file_browser/file_list.h), from which the transfers take them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "camera/image_decoding.h"

// The window whose selection the transfers take their pictures from.
enum TransferOrigin : uint16_t {
    ORIGIN_NONE          = 0,
    ORIGIN_FILE_BROWSER  = 1,
    ORIGIN_CAMERA_WINDOW = 2,
};

struct Selection {
    TransferOrigin origin;
    FileKind       kind;   // the file browser's: the kind of the files chosen
    uint16_t       count;  // pictures chosen; the file browser hands up its kind also with none
};

struct UserRequests {
    // OK: true when the selection was announced.
    bool (*announce)(const Selection& selection);
    // CANCEL and the close box, once the window is gone.
    void (*close)();
};

void windowsSendRequestsTo(const UserRequests& requests);

// Called by the windows. False when nothing was announced.
bool requestAnnouncement(const Selection& selection);
void requestClose();
