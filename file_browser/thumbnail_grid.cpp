#include "file_browser/thumbnail_grid.h"

#include "camera/image_decoding.h"
#include "camera_window/error_box.h"
#include "camera_window/shared_fonts.h"
#include "camera_window/window_class.h"
#include "file_browser/directory_scan.h"
#include "file_browser/file_list.h"
#include "resources/resource_ids.h"
#include "win32/global_memory.h"
#include "win32/scoped_handle.h"

#include <algorithm>
#include <vector>

namespace {

struct GridValues {
    int32_t  firstRow;            // grid row shown at the top, 0 ... scroll limit
    int32_t  scrollLimit;         // largest first row
    uint32_t drawnCount;          // cells filled by the last painting; clicks beyond are ignored
    // A load in progress: the files of `loadingKind` still to load after the first page, while
    // the window's messages come in. Any slide of the cache ends it.
    bool     loading;
    FileKind loadingKind;
};

// Thumbnails loaded per message while a load goes on after the first page.
constexpr int LOAD_STEP = 3;

GridValues g_grid;

using Entry = FileList::iterator;

// ---- Thumbnail cache ----

// A file whose thumbnail cannot be made is still taken into the cache, without a bitmap: its
// cell shows a placeholder, and the cache never tries it again while it stays in the window.
void loadEntry(HWND browser, FileEntry& entry)
{
    HBITMAP bitmap = nullptr;
    const bool made = makeThumbnailBitmap(browser, entry.kind, &bitmap, entry.name.c_str()) == 1;
    entry.thumbnail.reset(made ? bitmap : nullptr);
    entry.loaded = true;
}

void unloadEntry(FileEntry& entry)
{
    entry.thumbnail.reset();
    entry.loaded = false;
}

Entry firstLoaded(FileList& files)
{
    return std::find_if(files.begin(), files.end(), [](const FileEntry& e) { return e.loaded; });
}

// Moves the window forward: loads up to CACHE_SLIDE_COUNT entries after its end and releases
// as many from its start, so the number of loaded thumbnails stays the same.
void slideForward(HWND browser)
{
    FileList& files = fileList();
    Entry start = firstLoaded(files);
    if (start == files.end()) return;
    Entry end = std::find_if(start, files.end(), [](const FileEntry& e) { return !e.loaded; });
    for (int step = 0; step < CACHE_SLIDE_COUNT; ++step) {
        if (end == files.end() || end->loaded) return;
        loadEntry(browser, *end);
        ++end;
        unloadEntry(*start);
        start = std::find_if(std::next(start), files.end(), [](const FileEntry& e) { return e.loaded; });
        if (start == files.end()) return;
    }
}

// Moves the window backward: loads up to CACHE_SLIDE_COUNT entries before its start and
// releases as many from the end of its first run.
void slideBackward(HWND browser)
{
    FileList& files = fileList();
    Entry start = firstLoaded(files);
    if (start == files.end() || start == files.begin()) return;
    Entry last = std::find_if(start, files.end(), [](const FileEntry& e) { return !e.loaded; });
    --last;
    Entry before = std::prev(start);
    for (int step = 0; step < CACHE_SLIDE_COUNT; ++step) {
        if (before->loaded) return;
        loadEntry(browser, *before);
        const bool atHead = before == files.begin();
        if (!atHead) --before;
        unloadEntry(*last);
        while (last != files.begin() && !last->loaded) --last;
        if (atHead || !last->loaded) return;
    }
}

// Loads CACHE_LOAD_COUNT files of `kind` from `from` on.
void loadFrom(HWND browser, Entry from, FileKind kind)
{
    int loaded = 0;
    for (Entry entry = from; entry != fileList().end() && loaded < CACHE_LOAD_COUNT; ++entry) {
        if (entry->kind != kind) continue;
        loadEntry(browser, *entry);
        ++loaded;
    }
}

// Loads up to `count` more of the first CACHE_LOAD_COUNT files of `kind`; false when they are
// all loaded.
bool loadMore(HWND browser, FileKind kind, int count)
{
    int seen = 0;
    for (FileEntry& entry : fileList()) {
        if (entry.kind != kind) continue;
        if (++seen > CACHE_LOAD_COUNT) return false;
        if (entry.loaded) continue;
        if (count-- == 0) return true;
        loadEntry(browser, entry);
    }
    return false;
}

// A jump past the reach of one slide (the thumb dragged far): the window is built anew around
// the entry, starting a slide's length of its kind before it.
void recentre(HWND browser, Entry target)
{
    gridReleaseThumbnails();
    Entry from = target;
    for (int before = 0; before < CACHE_SLIDE_COUNT && from != fileList().begin();) {
        --from;
        if (from->kind == target->kind) ++before;
    }
    loadFrom(browser, from, target->kind);
}

bool loadedBefore(Entry target)
{
    for (Entry entry = fileList().begin(); entry != target; ++entry) {
        if (entry->loaded) return true;
    }
    return false;
}

// Painting met an entry without a thumbnail: slide the window toward it; when one slide does
// not reach it, build the window around it.
void bringIntoCache(HWND browser, Entry target)
{
    g_grid.loading = false;
    if (loadedBefore(target)) slideForward(browser);
    else slideBackward(browser);
    if (!target->loaded) recentre(browser, target);
}

// ---- Painting ----

POINT cellOrigin(int column, int row)
{
    return {GRID_LEFT + CELL_PITCH * column, GRID_TOP + CELL_PITCH * row};
}

// Page position p (from 1) to its cell.
POINT cellOfPosition(int position, const GridGeometry& geometry)
{
    return cellOrigin((position - 1) % geometry.columns, (position - 1) / geometry.columns);
}

ScopedGdiObject loadGridBitmap(const char* name)
{
    return ScopedGdiObject(LoadBitmapA(windowsModule(), name));
}

// Copies a bitmap of the module into dc at (x, y). In place of a bitmap that could not be
// loaded the area is filled with `fallback`, so that nothing of an earlier painting remains.
void drawBitmap(HDC dc, HDC memory, HGDIOBJ bitmap, int x, int y, int width, int height, int fallback)
{
    if (!bitmap) {
        RECT area = {x, y, x + width, y + height};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(fallback)));
        return;
    }
    SelectedObject selected(memory, bitmap);
    BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
}

void drawThumbnail(HDC dc, HDC memory, HGDIOBJ thumbnail, POINT cell)
{
    const int x = cell.x + 16;
    const int y = cell.y + 9;
    if (!thumbnail) {
        // The file gave no thumbnail: a dark frame crossed out, never an undefined bitmap.
        RECT frame = {x, y, x + THUMBNAIL_WIDTH, y + THUMBNAIL_HEIGHT};
        FillRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
        SelectedObject pen(dc, GetStockObject(WHITE_PEN));
        MoveToEx(dc, x + 28, y + 16, nullptr);
        LineTo(dc, x + 68, y + 56);
        MoveToEx(dc, x + 67, y + 16, nullptr);
        LineTo(dc, x + 27, y + 56);
        return;
    }
    BITMAP size = {};
    if (!GetObjectA(thumbnail, sizeof size, &size)) return;
    SelectedObject selected(memory, thumbnail);
    StretchBlt(dc, x, y, THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, memory, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
}

void drawLabel(HDC dc, HDC memory, HGDIOBJ labelBitmap, POINT cell, const std::string& name)
{
    drawBitmap(dc, memory, labelBitmap, cell.x + 10, cell.y + 92, LABEL_WIDTH, LABEL_HEIGHT, WHITE_BRUSH);
    const std::string label = gridLabel(name);
    SelectedObject font(dc, gridFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, cell.x + 15, cell.y + 95, label.c_str(), static_cast<int>(label.size()));
    SetBkMode(dc, oldMode);
}

void paintSheets(HDC dc, const GridGeometry& geometry)
{
    ScopedGdiObject sheet = loadGridBitmap("IDB_DIBBASESHEET");
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    for (int row = 0; row < geometry.rows; ++row) {
        for (int column = 0; column < geometry.columns; ++column) {
            const POINT cell = cellOrigin(column, row);
            drawBitmap(dc, memory, sheet.get(), cell.x, cell.y, CELL_PITCH, CELL_PITCH, GRAY_BRUSH);
        }
    }
    DeleteDC(memory);
}

// The entry of the (first + 1)-th file of `kind`, or the list's end.
Entry nthOfKind(FileKind kind, uint32_t first)
{
    FileList& files = fileList();
    for (Entry entry = files.begin(); entry != files.end(); ++entry) {
        if (entry->kind != kind) continue;
        if (first == 0) return entry;
        --first;
    }
    return files.end();
}

void paintCells(HWND browser, HDC dc, const GridGeometry& geometry, FileKind kind, uint32_t first)
{
    g_grid.drawnCount = 0;
    FileList& files = fileList();
    if (files.empty() || geometry.cells == 0) return;
    ScopedGdiObject labelBitmap = loadGridBitmap("IDB_FILEBASE");
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    Entry entry = nthOfKind(kind, first);
    for (uint32_t position = 1; position <= geometry.cells && entry != files.end(); ++position) {
        if (!entry->loaded) bringIntoCache(browser, entry);
        const POINT cell = cellOfPosition(position, geometry);
        drawThumbnail(dc, memory, entry->thumbnail.get(), cell);
        drawLabel(dc, memory, labelBitmap.get(), cell, entry->name);
        g_grid.drawnCount = position;
        entry = std::find_if(std::next(entry), files.end(), [kind](const FileEntry& e) { return e.kind == kind; });
    }
    DeleteDC(memory);
}

void invertLabel(HDC dc, int position, const GridGeometry& geometry)
{
    const POINT cell = cellOfPosition(position, geometry);
    PatBlt(dc, cell.x + 10, cell.y + 92, LABEL_WIDTH, LABEL_HEIGHT, DSTINVERT);
}

// Calls visit(entry, page position) for every file of `kind`; files before the first index
// get position 0.
template <typename Visit>
void forEachOfKind(FileKind kind, uint32_t first, Visit visit)
{
    uint32_t index = 0;
    for (FileEntry& entry : fileList()) {
        if (entry.kind != kind) continue;
        visit(entry, index >= first ? index - first + 1 : 0);
        ++index;
    }
}

void paintMarks(HDC dc, const GridGeometry& geometry, FileKind kind, uint32_t first)
{
    if (geometry.cells == 0) return;
    forEachOfKind(kind, first, [&](FileEntry& entry, uint32_t position) {
        if (entry.selected && position >= 1 && position <= geometry.cells) invertLabel(dc, position, geometry);
    });
}

// ---- Selection ----

void toggleFile(int position, HDC dc, const GridGeometry& geometry, FileKind kind, uint32_t first)
{
    Entry entry = nthOfKind(kind, first + position - 1);
    if (entry == fileList().end()) return;
    entry->selected = !entry->selected;
    invertLabel(dc, position, geometry);
}

void clearSelection(HDC dc, const GridGeometry& geometry, FileKind kind, uint32_t first)
{
    forEachOfKind(kind, first, [&](FileEntry& entry, uint32_t position) {
        if (!entry.selected) return;
        entry.selected = false;
        if (dc && position >= 1 && position <= geometry.cells) invertLabel(dc, position, geometry);
    });
}

// Shift-click: from the last selected block to the clicked file, backwards or forwards; with
// nothing selected, from the first file of the kind. Everything else of the kind is deselected.
void selectRange(int position, HDC dc, const GridGeometry& geometry, FileKind kind, uint32_t first)
{
    const uint32_t clicked = first + position;  // from 1 among the files of the kind
    uint32_t anchor = 0;
    uint32_t index = 0;
    std::vector<bool> selected;
    for (const FileEntry& entry : fileList()) {
        if (entry.kind != kind) continue;
        ++index;
        selected.push_back(entry.selected);
        if (entry.selected && index != clicked) anchor = index;
    }
    if (anchor > 0 && anchor < clicked) {
        while (anchor > 1 && selected[anchor - 2]) --anchor;
    }
    const uint32_t low = anchor == 0 ? 1 : std::min(anchor, clicked);
    const uint32_t high = std::max(anchor, clicked);
    clearSelection(dc, geometry, kind, first);
    index = 0;
    for (FileEntry& entry : fileList()) {
        if (entry.kind != kind) continue;
        ++index;
        if (index >= low && index <= high) entry.selected = true;
    }
    paintMarks(dc, geometry, kind, first);
}

// Only the grid changes when it scrolls or is refreshed: the rest of the window keeps its pixels.
void invalidateGrid(HWND browser, const GridGeometry& geometry)
{
    const RECT grid = {GRID_LEFT, GRID_TOP, GRID_LEFT + CELL_PITCH * geometry.columns, GRID_TOP + CELL_PITCH * geometry.rows};
    InvalidateRect(browser, &grid, FALSE);
}

uint32_t firstIndex(const GridGeometry& geometry)
{
    return static_cast<uint32_t>(g_grid.firstRow) * geometry.columns;
}

}  // namespace

GridGeometry gridGeometry(HWND browser)
{
    RECT client = {};
    GetClientRect(browser, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    GridGeometry geometry = {};
    geometry.columns = static_cast<uint16_t>(std::max(0, (width - GRID_RIGHT_MARGIN) / CELL_PITCH));
    geometry.rows = static_cast<uint16_t>(std::max(0, (height - 16) / CELL_PITCH));
    geometry.cells = static_cast<uint16_t>(geometry.columns * geometry.rows);
    return geometry;
}

int gridHitTest(HWND browser, POINT point)
{
    const GridGeometry geometry = gridGeometry(browser);
    if (geometry.cells == 0) return 0;
    if (point.x < GRID_LEFT || point.x >= GRID_LEFT + CELL_PITCH * geometry.columns) return 0;
    if (point.y < GRID_TOP || point.y >= GRID_TOP + CELL_PITCH * geometry.rows) return 0;
    const int column = (point.x - GRID_LEFT) / CELL_PITCH;
    const int row = (point.y - GRID_TOP) / CELL_PITCH;
    const int position = row * geometry.columns + column + 1;
    return static_cast<uint32_t>(position) <= g_grid.drawnCount ? position : 0;
}

void gridPaint(HWND browser, HDC dc)
{
    const GridGeometry geometry = gridGeometry(browser);
    paintSheets(dc, geometry);
    const FileKind kind = readFileKind(browser);
    const uint32_t first = firstIndex(geometry);
    paintCells(browser, dc, geometry, kind, first);
    paintMarks(dc, geometry, kind, first);
}

std::string gridLabel(const std::string& name)
{
    if (name.size() <= 12) return name;
    return name.substr(0, 8) + "....";
}

void gridClick(HWND browser, POINT point, WPARAM keys)
{
    const int position = gridHitTest(browser, point);
    if (position == 0) return;
    WindowDC dc(browser);
    const FileKind kind = readFileKind(browser);
    const GridGeometry geometry = gridGeometry(browser);
    const uint32_t first = firstIndex(geometry);
    if (keys & MK_SHIFT) {
        selectRange(position, dc.get(), geometry, kind, first);
    } else if (keys & MK_CONTROL) {
        toggleFile(position, dc.get(), geometry, kind, first);
    } else {
        clearSelection(dc.get(), geometry, kind, first);
        toggleFile(position, dc.get(), geometry, kind, first);
    }
}

void gridClearSelection(HWND browser, FileKind kind)
{
    if (!browser || !IsWindow(browser)) {
        clearSelection(nullptr, GridGeometry{}, kind, 0);
        return;
    }
    WindowDC dc(browser);
    const GridGeometry geometry = gridGeometry(browser);
    clearSelection(dc.get(), geometry, kind, firstIndex(geometry));
}

void gridScroll(HWND browser, int code, int thumbPosition)
{
    const GridGeometry geometry = gridGeometry(browser);
    int32_t row = g_grid.firstRow;
    switch (code) {
    case SB_LINEUP:     row -= 1; break;
    case SB_LINEDOWN:   row += 1; break;
    case SB_PAGEUP:     row -= geometry.rows; break;
    case SB_PAGEDOWN:   row += geometry.rows; break;
    case SB_THUMBTRACK: row = thumbPosition; break;
    default:            break;
    }
    bool clamped = false;
    if (row > g_grid.scrollLimit) {
        row = g_grid.scrollLimit;
        clamped = true;
    }
    if (row < 0) {
        row = 0;
        clamped = true;
    }
    // Already at that end: nothing moves, nothing is redrawn.
    if (clamped && row == g_grid.firstRow) return;
    if (code == SB_ENDSCROLL) return;
    g_grid.firstRow = row;
    SetScrollPos(GetDlgItem(browser, IDC_FILESCROLL), SB_CTL, row, TRUE);
    invalidateGrid(browser, geometry);
}

void gridRefresh(HWND browser)
{
    const GridGeometry geometry = gridGeometry(browser);
    const uint16_t count = fileListCount(readFileKind(browser));
    HWND scrollBar = GetDlgItem(browser, IDC_FILESCROLL);
    g_grid.scrollLimit = 0;
    if (geometry.cells > 0 && count > geometry.cells) {
        const int32_t neededRows = (count + geometry.columns - 1) / geometry.columns;
        g_grid.scrollLimit = std::max<int32_t>(0, neededRows - geometry.rows);
    }
    // A listing that fits one page gets an empty range too: the thumb of the previous
    // directory's range could otherwise be dragged without anything moving.
    SetScrollRange(scrollBar, SB_CTL, 0, g_grid.scrollLimit, TRUE);
    SetScrollPos(scrollBar, SB_CTL, 0, TRUE);
    invalidateGrid(browser, geometry);
}

int32_t gridFirstRow()
{
    return g_grid.firstRow;
}

void gridSetFirstRow(int32_t row)
{
    g_grid.firstRow = row;
}

int32_t gridScrollLimit()
{
    return g_grid.scrollLimit;
}

void gridLoadThumbnails(HWND browser)
{
    const FileKind kind = readFileKind(browser);
    const GridGeometry geometry = gridGeometry(browser);
    g_grid.loading = loadMore(browser, kind, std::max<int>(geometry.cells, 1));
    g_grid.loadingKind = kind;
    if (g_grid.loading) PostMessageA(browser, UM_FILELOADMORE, 0, 0);
}

void gridLoadMore(HWND browser)
{
    if (!g_grid.loading) return;
    g_grid.loading = loadMore(browser, g_grid.loadingKind, LOAD_STEP);
    if (g_grid.loading) PostMessageA(browser, UM_FILELOADMORE, 0, 0);
}

void gridReleaseThumbnails()
{
    for (FileEntry& entry : fileList()) unloadEntry(entry);
}

int makeThumbnailBitmap(HWND window, uint16_t kind, HBITMAP* bitmap, LPCSTR name)
{
    *bitmap = nullptr;
    HGLOBAL dib = nullptr;
    // From the directory the file was listed in: when it has gone, a file of the same name in
    // whatever directory is current must not lend its thumbnail.
    if (!decodeThumbnail(kind, name, &dib, g_browserDirectory)) return 0;
    ScopedGlobal thumbnail(dib);
    {
        GlobalLockGuard<BYTE> block(thumbnail.get());
        WindowDC dc(window);
        if (block && dc) {
            const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(block.get());
            *bitmap = CreateDIBitmap(dc.get(), header, CBM_INIT, block.get() + sizeof(BITMAPINFOHEADER),
                                     reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
        }
    }
    if (!*bitmap) {
        errorBox(window, 0, ERROR_NO_MEMORY, nullptr);
        return 0;
    }
    return 1;
}
