// What the source's windows and dialogs share: the module whose resources they load (recorded
// when their classes are registered) and the look of their window classes.
#pragma once

#include <windows.h>

// The module of the source's resources: dialog templates, bitmaps, icons.
HINSTANCE windowsModule();
void setWindowsModule(HINSTANCE module);

// Registers a class for one of the source's windows, which all look alike: the source's icon,
// the arrow cursor and a gray background. Returns the class atom, 0 on failure.
ATOM registerSourceWindowClass(UINT style, WNDPROC procedure, const char* className);
