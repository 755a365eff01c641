// The camera page commands: stepping through the camera's pictures, marking them, choosing
// the storage medium, and OK, which announces the marked pictures to the application.
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
void commandOk(HWND window);

// The acquisition of the next selected picture: a result code and, on success, a bitmap
// handle (0 when no picture is left). With memory transfer negotiated, OK fetches the first
// picture through it before announcing the transfer, so that its size can be reported. Until
// one is plugged in, OK announces without fetching, as it does for native transfer.
typedef uint16_t (*ImageAcquisition)(HGLOBAL* bitmap);
void plugFirstImageAcquisition(ImageAcquisition acquire);
