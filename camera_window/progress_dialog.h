// The progress dialog shown while a maker's library downloads or decodes a picture, and the
// four progress callbacks the libraries drive it through. Begin (1) creates the dialog and
// disables its owner, progress (16) moves the bar and lets one queued message run, end (2)
// destroys the dialog and enables the owner again. A callback returns -1 once the user has
// pressed Cancel, which makes the library stop.
#pragma once

#include <windows.h>

// LX-1 and LX-2 downloads: "Now Loading ...".
int WINAPI progressDownload(int code, int value);
// LX-3 downloads: "Now Loading ..."; at 115200 bps only every tenth percent is drawn.
int WINAPI progressDownloadLx3(int code, int value, DWORD unused);
// Exif decodes, from a file or from memory: "Changing Image Data...".
int WINAPI progressDecodeExif(int code, int value, DWORD unused);
// K4I decodes: "Changing Image Data...".
int WINAPI progressDecodeK4i(int code, int value);

// Makes this dialog the listener of the camera's library calls (camera/library_calls.h): their
// progress is shown here, owned by the camera window.
void showCameraProgressInDialogs();

// Records the window that owns the next dialog and is disabled while it is shown; the listener
// sets it before each library call (the camera window).
void progressSetOwner(HWND owner);

// After a library call that took a progress callback: a library that returned without the
// end code would leave its dialog up and the owner disabled for good, so this ends the
// dialog as the end code would have. Does nothing when the end code came.
void progressFinish();

// The progress dialog while one is shown, otherwise 0.
HWND progressDialog();

// Draws the bar for `percent` into any device context: the gray fill from the left, growing
// with the percentage, and the black frame of `client`.
void paintProgressBar(HDC dc, const RECT& client, int percent);
