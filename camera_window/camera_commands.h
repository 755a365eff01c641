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
// Announces the selection. With memory transfer negotiated, the first picture is acquired
// first, so that its size can be reported.
void commandOk(HWND window);
