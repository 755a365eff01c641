#include "camera/image_decoding.h"

#include "camera/library_calls.h"
#include "win32/maker/vxk4x32.h"
#include "win32/maker/vxxif32.h"
#include "twain/capabilities.h"
#include "twain/error_report.h"
#include "win32/global_memory.h"
#include "win32/scoped_handle.h"
#include "twain/source_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Options the maker's libraries expect for a whole picture and for a thumbnail.
K4I_OPTIONS k4iWholePicture() { return K4I_OPTIONS{0, 0, 8, 8, 1}; }
K4I_OPTIONS k4iThumbnail() { return K4I_OPTIONS{0, 0, 1, 1, 0}; }
EXIF_OPTIONS exifWholePicture() { return EXIF_OPTIONS{8, 8, 1}; }
EXIF_OPTIONS exifThumbnail() { return EXIF_OPTIONS{1, 1, 0}; }

// The name in the current directory as a full path, in a zero-filled movable block that the
// returned object frees. The backslash is left out after a drive root such as C:\.
class FullPath {
public:
    explicit FullPath(LPCSTR name)
    {
        char directory[MAX_PATH] = "";
        const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
        if (length == 0 || length >= sizeof directory) directory[0] = '\0';
        const size_t nameLength = std::strlen(name);
        const size_t directoryLength = std::strlen(directory);
        block_.reset(globalAllocate(nameLength + directoryLength + 2));
        lock_ = block_ ? static_cast<char*>(GlobalLock(block_.get())) : nullptr;
        if (!lock_) return;
        std::memcpy(lock_, directory, directoryLength);
        size_t at = directoryLength;
        if (directoryLength != 3 && directoryLength != 0) lock_[at++] = '\\';
        std::memcpy(lock_ + at, name, nameLength);
    }
    ~FullPath()
    {
        if (lock_) GlobalUnlock(block_.get());
    }
    FullPath(const FullPath&) = delete;
    FullPath& operator=(const FullPath&) = delete;

    // Null when no memory was left for the path.
    LPCSTR get() const { return lock_; }

private:
    ScopedGlobal block_;
    char* lock_ = nullptr;
};

// Frees the side block a library may hand out with a picture; nobody reads it.
void freeExtra(HGLOBAL extra)
{
    if (extra) GlobalFree(extra);
}

// What a whole decode handed back: the side block goes at once, and a successful decode whose
// block is no usable picture counts as a failed decode: the block is freed and the picture facts
// keep their values.
uint16_t acceptDecodedBitmap(uint16_t code, HGLOBAL decoded, HGLOBAL extra, HGLOBAL* bitmap)
{
    freeExtra(extra);
    *bitmap = nullptr;
    if (code != 0) {
        if (decoded) GlobalFree(decoded);
        return code;
    }
    if (!bitmapBlockUsable(decoded)) {
        if (decoded) GlobalFree(decoded);
        return DECODE_ERR_BAD_BITMAP;
    }
    takeImageInfo(decoded);
    *bitmap = decoded;
    return 0;
}

}  // namespace

bool bitmapBlockUsable(HGLOBAL bitmap)
{
    GlobalLockGuard<BYTE> block(bitmap);
    if (!block || block.size() < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, block.get(), sizeof header);
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biBitCount != 24 || header.biCompression != BI_RGB)
        return false;
    // Rows are addressed in 16 bits by the transfers and in 32 bits by everything else.
    if (header.biWidth <= 0 || header.biHeight <= 0 || header.biWidth > 0xFFFF || header.biHeight > 0xFFFF)
        return false;
    const uint64_t needed = sizeof(BITMAPINFOHEADER) +
                            static_cast<uint64_t>(dibRowBytes(static_cast<uint32_t>(header.biWidth))) *
                                static_cast<uint32_t>(header.biHeight);
    return needed <= block.size();
}

int checkExifFile(LPCSTR name)
{
    FullPath path(name);
    if (!path.get()) return 0;
    WORD ignored = 0;
    return exifCheckFile(path.get(), &ignored) == 0 ? 1 : 0;
}

int checkK4iFile(LPCSTR name)
{
    FullPath path(name);
    if (!path.get()) return 0;
    WORD stillPicture = 0;
    return k4iCheckFile(path.get(), &stillPicture) == 0 && stillPicture == 1 ? 1 : 0;
}

int makeThumbnailBitmap(HWND window, uint16_t kind, HBITMAP* bitmap, LPCSTR name)
{
    *bitmap = nullptr;
    FullPath path(name);
    if (!path.get()) return 0;
    ScopedGlobal thumbnail;
    uint16_t code;
    if (kind == FILE_KIND_EXIF) {
        EXIF_OPTIONS options = exifThumbnail();
        EXIF_RESULT result = {};
        WORD ignored = 0;
        code = exifDecodeFile(path.get(), &result, &ignored, &options, nullptr);
        thumbnail.reset(result.bitmap);
        freeExtra(result.extra);
    } else if (kind == FILE_KIND_K4I) {
        K4I_OPTIONS options = k4iThumbnail();
        K4I_RESULT result = {};
        code = k4iReadThumbnail(path.get(), &result, &options, 0);
        thumbnail.reset(result.bitmap);
        freeExtra(result.extra);
    } else {
        return 0;
    }
    if (code != 0 || !bitmapBlockUsable(thumbnail.get())) return 0;

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
        errorBox(g_source.fileBrowserWindow, 0, ERROR_NO_MEMORY, nullptr);
        return 0;
    }
    return 1;
}

uint16_t decodeExifFile(HGLOBAL* bitmap, LPCSTR name)
{
    EXIF_OPTIONS options = exifWholePicture();
    EXIF_RESULT result = {};
    const uint16_t code = libDecodeExifFile(g_source.cameraWindow, name, &result, &options);
    return acceptDecodedBitmap(code, result.bitmap, result.extra, bitmap);
}

uint16_t decodeK4iFile(HGLOBAL* bitmap, LPCSTR name)
{
    *bitmap = nullptr;
    FullPath path(name);
    if (!path.get()) return DEC_ERR_NOMEMORY;
    return decodeK4iFullPath(bitmap, path.get());
}

uint16_t decodeK4iFullPath(HGLOBAL* bitmap, LPCSTR path)
{
    K4I_OPTIONS options = k4iWholePicture();
    K4I_RESULT result = {};
    const uint16_t code = libDecodeK4iFile(g_source.cameraWindow, path, &result, &options);
    return acceptDecodedBitmap(code, result.bitmap, result.extra, bitmap);
}

uint16_t decodeExifMemory(HGLOBAL* bitmap, HGLOBAL data, uint32_t size)
{
    EXIF_OPTIONS options = exifWholePicture();
    EXIF_RESULT result = {};
    const uint16_t code = libDecodeExifMemory(g_source.cameraWindow, data, size, &result, &options);
    return acceptDecodedBitmap(code, result.bitmap, result.extra, bitmap);
}

void takeImageInfo(HGLOBAL bitmap)
{
    GlobalLockGuard<BYTE> block(bitmap);
    if (!block || block.size() < sizeof(BITMAPINFOHEADER)) return;
    BITMAPINFOHEADER& header = g_source.imageHeader;
    std::memcpy(&header, block.get(), sizeof header);
    g_source.bytesRemaining = static_cast<uint32_t>(header.biWidth) * static_cast<uint32_t>(header.biHeight) * 3;
    if (header.biXPelsPerMeter != 0 && header.biYPelsPerMeter != 0) {
        setImageUnits(TWUN_CENTIMETERS);
        setImageResolution(floatToFix32(static_cast<float>(header.biXPelsPerMeter * 0.01)),
                           floatToFix32(static_cast<float>(header.biYPelsPerMeter * 0.01)));
    } else {
        setImageUnits(TWUN_PIXELS);
    }
}

TW_FIX32 floatToFix32(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(value));
    long whole = std::strtol(text, nullptr, 10);
    // A resolution beyond the 16-bit whole part is no real one; keep it at the largest.
    if (whole > 32767) whole = 32767;
    if (whole < -32768) whole = -32768;
    return TW_FIX32{static_cast<TW_INT16>(whole), 0};
}
