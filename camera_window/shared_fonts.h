// The camera window's fonts that the file browser window borrows. They exist while the camera
// window does (the browser is opened from it and closed before it); 0 otherwise.
#pragma once

#include <windows.h>

// Height -12, ANSI: the browser's OK and CANCEL buttons.
HFONT controlFont();
// Height -16, Shift-JIS: the directory list, drive box and file-type box.
HFONT browserFont();
// Height -16, Shift-JIS: the names under the thumbnails.
HFONT gridFont();
