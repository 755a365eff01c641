// The thumbnail grid of the file browser: the files of the shown kind, one per 126-pixel cell,
// row by row, with a background sheet, the thumbnail and a label with the name. The grid
// scrolls by whole rows; a selected file's label is shown inverted. Only a window of entries
// has a thumbnail loaded at a time; painting moves it when it meets an entry without one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "camera/image_decoding.h"

// Posted by the grid to the browser while thumbnails are still being loaded after a scan; the
// browser answers it with gridLoadMore.
constexpr UINT UM_FILELOADMORE = WM_USER + 2;

constexpr int GRID_LEFT = 16;
constexpr int GRID_TOP = 20;
constexpr int CELL_PITCH = 126;
constexpr int THUMBNAIL_WIDTH = 96;
constexpr int THUMBNAIL_HEIGHT = 72;
constexpr int LABEL_WIDTH = 108;
constexpr int LABEL_HEIGHT = 26;
// The grid leaves this much of the client width to the controls on its right.
constexpr int GRID_RIGHT_MARGIN = 192;

// The cache: a load fills this many thumbnails of the shown kind; a slide moves the window by
// this many entries.
constexpr int CACHE_LOAD_COUNT = 66;
constexpr int CACHE_SLIDE_COUNT = 21;

struct GridGeometry {
    uint16_t columns;
    uint16_t rows;
    uint16_t cells;  // 0 when the client area holds no whole column or row
};

GridGeometry gridGeometry(HWND browser);

// Page position (from 1, row by row) of a client point, or 0 when the point is outside the
// grid or on a cell beyond the last one painted.
int gridHitTest(HWND browser, POINT point);

// Everything the window shows in its grid: the sheets, the cells of the shown kind from the
// first row on and the selection marks, drawn into `dc`.
void gridPaint(HWND browser, HDC dc);

// The label text of a file name: the name if it has at most 12 characters, else its first
// 8 followed by "....".
std::string gridLabel(const std::string& name);

// Selection by the mouse, as the window applies it: a plain click selects only the clicked
// file, Ctrl toggles it, Shift selects the range from the last selected block. The marks are
// changed in place on the window.
void gridClick(HWND browser, POINT point, WPARAM keys);

// Clears the selection of `kind` and removes the visible marks (an acquisition that was
// cancelled). Nothing is drawn when the browser window does not exist.
void gridClearSelection(HWND browser, FileKind kind);

// WM_VSCROLL of the grid's scroll bar; the unit is one row.
void gridScroll(HWND browser, int code, int thumbPosition);
// Sets the scroll range for the files of the shown kind, the thumb to the top, and has the
// window repainted.
void gridRefresh(HWND browser);
int32_t gridFirstRow();
void gridSetFirstRow(int32_t row);
int32_t gridScrollLimit();

// Loads the thumbnails of the first CACHE_LOAD_COUNT files of the shown kind (after a scan or a
// change of kind): those of the first page at once, the others a few at a time on
// UM_FILELOADMORE, which the window posts itself, so that the grid is painted first.
void gridLoadThumbnails(HWND browser);
void gridLoadMore(HWND browser);
// Releases every loaded thumbnail; the selection stays.
void gridReleaseThumbnails();

// 1 with *bitmap the file's thumbnail as a device-dependent bitmap compatible with the window's
// device context; 0 when the file gave none (*bitmap is then 0). A thumbnail that decodes but
// cannot become a device-dependent bitmap shows the "Insufficient memory." box, owned by the
// window. kind: FILE_KIND_EXIF or FILE_KIND_K4I; any other kind gives no thumbnail.
int makeThumbnailBitmap(HWND window, uint16_t kind, HBITMAP* bitmap, LPCSTR name);
