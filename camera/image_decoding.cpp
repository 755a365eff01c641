#include "image_decoding.h"

#include "vxk4x32.h"
#include "vxxif32.h"
#include "../twain/error_report.h"
#include "../twain/global_memory.h"
#include "../twain/scoped_handle.h"
#include "../twain/source_state.h"

#include <string>

namespace {

std::string fullPath(LPCSTR name)
{
    char directory[MAX_PATH + 1] = "";
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory) return name;
    std::string path = directory;
    if (path.size() != 3) path += '\\';
    return path + name;
}

void freeExtra(HGLOBAL extra)
{
    if (extra) GlobalFree(extra);
}

}  // namespace

int checkExifFile(LPCSTR name)
{
    WORD orientation = 0;
    return exifCheckFile(fullPath(name).c_str(), &orientation) == 0 ? 1 : 0;
}

int checkK4iFile(LPCSTR name)
{
    WORD flag = 0;
    return k4iCheckFile(fullPath(name).c_str(), &flag) == 0 && flag == 1 ? 1 : 0;
}

int makeThumbnailBitmap(HWND window, uint16_t kind, HBITMAP* bitmap, LPCSTR name)
{
    const std::string path = fullPath(name);
    HGLOBAL picture = nullptr;
    WORD result = 0;
    if (kind == FILE_KIND_EXIF) {
        EXIF_OPTIONS options = {1, 1, 0};
        EXIF_RESULT decoded = {};
        WORD orientation = 0;
        result = exifDecodeFile(path.c_str(), &decoded, &orientation, &options, nullptr);
        freeExtra(decoded.extra);
        picture = decoded.bitmap;
    } else if (kind == FILE_KIND_K4I) {
        K4I_OPTIONS options = {0, 0, 1, 1, 0};
        K4I_RESULT decoded = {};
        result = k4iReadThumbnail(path.c_str(), &decoded, &options, 0);
        freeExtra(decoded.extra);
        picture = decoded.bitmap;
    } else {
        return 0;
    }
    if (result != 0) {
        if (picture) GlobalFree(picture);
        return 0;
    }
    HBITMAP made = nullptr;
    {
        WindowDC dc(window);
        GlobalLockGuard<BITMAPINFOHEADER> header(picture);
        if (dc && header && header.size() >= sizeof(BITMAPINFOHEADER)) {
            made = CreateDIBitmap(dc.get(), header.get(), CBM_INIT, reinterpret_cast<BYTE*>(header.get()) + sizeof(BITMAPINFOHEADER),
                                  reinterpret_cast<BITMAPINFO*>(header.get()), DIB_RGB_COLORS);
        }
    }
    GlobalFree(picture);
    *bitmap = made;
    if (!made) {
        errorBox(window, 0, ERROR_NO_MEMORY, nullptr);
        return 0;
    }
    return 1;
}
