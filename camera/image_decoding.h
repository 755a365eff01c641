// Picture files through the maker's decoding libraries: the checks of the file scan and the
// thumbnails of the grid. File names are relative to the current directory.
#pragma once

#include <windows.h>

#include <cstdint>

// 1 when the file is a usable Exif picture, else 0.
int checkExifFile(LPCSTR name);
// 1 when the file is a complete K4I still picture, else 0.
int checkK4iFile(LPCSTR name);
// 1 with *bitmap a device-dependent thumbnail compatible with the window's device context;
// 0 when the file gave none (*bitmap is then not usable).
int makeThumbnailBitmap(HWND window, uint16_t kind, HBITMAP* bitmap, LPCSTR name);
