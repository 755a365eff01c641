#include "acquisition.h"

#include "library_calls.h"
#include "../file_browser/file_list.h"
#include "../file_browser/thumbnail_grid.h"
#include "../twain/global_memory.h"
#include "../twain/source_state.h"

namespace {

uint16_t decodeExifFile(HGLOBAL* bitmap, LPCSTR name)
{
    EXIF_OPTIONS options = {8, 8, 1};
    EXIF_RESULT result = {};
    const uint16_t code = libDecodeExifFile(g_source.cameraWindow, name, &result, &options);
    if (code == 0) {
        GlobalLockGuard<BITMAPINFOHEADER> header(result.bitmap);
        if (header) {
            g_source.imageHeader = *header.get();
            g_source.bytesRemaining = header->biWidth * header->biHeight * 3;
        }
    }
    if (result.extra) GlobalFree(result.extra);
    *bitmap = result.bitmap;
    return code;
}

}  // namespace

uint16_t acquireNext(HGLOBAL* bitmap)
{
    *bitmap = nullptr;
    if (g_source.transferOrigin != ORIGIN_FILE_BROWSER) return 0xFFFF;
    char name[MAX_PATH] = "";
    if (!fileListTakeNextSelected(g_source.fileKind, name, sizeof name)) return 0;
    const uint16_t code = decodeExifFile(bitmap, name);
    if (code == DEC_ERR_CANCELLED) {
        g_source.pendingCount = 0;
        *bitmap = nullptr;
        gridClearSelection(g_source.fileKind);
    }
    if (g_source.fileBrowserWindow) InvalidateRect(g_source.fileBrowserWindow, nullptr, FALSE);
    return code;
}

bool holdCurrentBitmap(HGLOBAL bitmap)
{
    BYTE* data = static_cast<BYTE*>(GlobalLock(bitmap));
    if (!data) {
        GlobalFree(bitmap);
        return false;
    }
    g_source.currentBitmap = bitmap;
    const BITMAPINFOHEADER& header = g_source.imageHeader;
    const size_t stride = (static_cast<size_t>(header.biWidth) * 3 + 3) & ~size_t(3);
    g_source.nextRow = data + sizeof(BITMAPINFOHEADER) + (header.biHeight - 1) * stride;
    return true;
}
