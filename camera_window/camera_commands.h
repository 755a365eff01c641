// The camera page: its commands (stepping through the camera's pictures, marking them,
// choosing the storage medium, OK), the position shown in its number boxes, the link closed
// with its selection, and the fallback to the option page when the camera fails.
#pragma once

#include <windows.h>
#include <cstdint>

void commandPrevious();
void commandNext();
// Every notification of the number box; only a changed text of an LX-3 camera moves it.
void commandJump(WPARAM command);
void commandSelect();
void commandSelectAll();
void commandCancelAll();
// 1 the memory card, 0 the internal memory; only LX-2 cameras have both.
void commandChooseMedium(uint16_t medium);
// Hands the marked pictures up to be announced (camera_window/requests.h).
void commandOk(HWND window);

// Writes the camera's current picture number and picture count into the page's number boxes.
void showCameraPosition();
// Reads the camera's position again and shows it.
uint16_t resyncCameraPage();

// The link closed, the selection emptied. closeCameraLink counts the link closed only when
// the library closed it; disconnectCamera whatever the library answers.
uint16_t closeCameraLink();
uint16_t disconnectCamera();

// After a camera operation failed and closed the link itself: the communication-failure box
// with `code`, then the option page with the connection marked closed.
void fallBackAfterCameraFailure(uint16_t code);
// The same where the failing step left the link open (a failed acquisition from the camera):
// the link is closed first, and the window is redrawn once, focused.
void fallBackClosingCamera(uint16_t code);
