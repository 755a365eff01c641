// The pictures the windows announce and the transfers deliver: the handlers of the windows'
// requests (camera_window/requests.h), the acquisition of the next announced picture from the
// window's selection through the camera layer, and the one place where a failed acquisition
// becomes a condition code, a box, or the camera window's fallback.
#pragma once

#include "camera_window/requests.h"

#include <windows.h>

#include <cstdint>

// Installs the handlers of OK (announce the selection) and of CANCEL and the close box (ask the
// application to close the source) in the windows.
void handleUserRequests();

// OK in either window: the selection becomes the pending transfers (the file browser's kind is
// taken also with nothing selected). With memory transfer negotiated the first picture is
// acquired and held first, so that its size can be reported; then MSG_XFERREADY. False when
// nothing was announced.
bool announceSelection(const Selection& selection);

// The next announced picture of the transfer origin, its facts taken (transfer_cursor.h).
// 0 with *bitmap the picture; 0 with *bitmap 0 when the selection has run out. Otherwise the
// code of the failure (acquisition.h, image_decoding.h); a camera's failure also empties the
// selection and releases the file list. The end of a camera selection, any camera failure and
// a cancel end the pending transfers.
uint16_t acquireNextAnnounced(HGLOBAL* bitmap);

// What a failed acquisition was, as the transfers answer it.
enum class AcquisitionFailure { NoMemory, Cancelled, FileUnreadable, CameraFailed };

// A failed or cancelled acquisition, told to the application and the user: memory short is
// TWCC_LOWMEMORY with "Insufficient memory."; a cancel in a progress dialog is a quiet
// TWCC_OPERATIONERROR; a file that cannot be read is TWCC_OPERATIONERROR with "File read
// error."; a camera that failed is TWCC_OPERATIONERROR and the camera window's fallback (the
// box with the code, the link closed, the option page).
AcquisitionFailure reportAcquisitionFailure(uint16_t code);
// A picture that cannot be held for a memory transfer: told as memory short.
void reportPictureNotHeld();
