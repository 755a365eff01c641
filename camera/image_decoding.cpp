#include "camera/image_decoding.h"

#include "camera/library_calls.h"
#include "win32/global_memory.h"
#include "win32/maker/vxk4x32.h"
#include "win32/maker/vxxif32.h"
#include "win32/scoped_handle.h"

#include <cstring>

namespace {

// Options the maker's libraries expect for a whole picture and for a thumbnail.
K4I_OPTIONS k4iWholePicture() { return K4I_OPTIONS{0, 0, 8, 8, 1}; }
K4I_OPTIONS k4iThumbnail() { return K4I_OPTIONS{0, 0, 1, 1, 0}; }
EXIF_OPTIONS exifWholePicture() { return EXIF_OPTIONS{8, 8, 1}; }
EXIF_OPTIONS exifThumbnail() { return EXIF_OPTIONS{1, 1, 0}; }

bool isCurrentDirectory(const char* directory)
{
    char current[MAX_PATH] = "";
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    return length > 0 && length < sizeof current && lstrcmpiA(current, directory) == 0;
}

// The name in `listed` (the current directory when null or empty) as a full path, in a
// zero-filled movable block that the returned object frees. The backslash is left out after a
// drive root such as C:\. The libraries take ANSI paths, which end at MAX_PATH: a longer whole
// path (a long name in a deep directory) is handed over as the name alone when the directory is
// the current one.
class FullPath {
public:
    FullPath(LPCSTR name, LPCSTR listed)
    {
        char directory[MAX_PATH] = "";
        if (listed && listed[0] != '\0') {
            lstrcpynA(directory, listed, sizeof directory);
        } else {
            const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
            if (length == 0 || length >= sizeof directory) directory[0] = '\0';
        }
        const size_t nameLength = std::strlen(name);
        size_t directoryLength = std::strlen(directory);
        if (directoryLength + 1 + nameLength >= MAX_PATH && isCurrentDirectory(directory)) directoryLength = 0;
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
// block is no usable picture counts as a failed decode: the block is freed, no picture.
uint16_t acceptDecodedBitmap(uint16_t code, HGLOBAL decoded, HGLOBAL extra, DecodedPicture* picture)
{
    freeExtra(extra);
    *picture = DecodedPicture{};
    if (code != 0) {
        if (decoded) GlobalFree(decoded);
        return code;
    }
    if (!bitmapBlockUsable(decoded)) {
        if (decoded) GlobalFree(decoded);
        return DECODE_ERR_BAD_BITMAP;
    }
    picture->bitmap = decoded;
    picture->facts = pictureFacts(decoded);
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
    FullPath path(name, nullptr);
    if (!path.get()) return 0;
    WORD ignored = 0;
    return exifCheckFile(path.get(), &ignored) == 0 ? 1 : 0;
}

int checkK4iFile(LPCSTR name)
{
    FullPath path(name, nullptr);
    if (!path.get()) return 0;
    WORD stillPicture = 0;
    return k4iCheckFile(path.get(), &stillPicture) == 0 && stillPicture == 1 ? 1 : 0;
}

bool decodeThumbnail(uint16_t kind, LPCSTR name, HGLOBAL* dib, LPCSTR directory)
{
    *dib = nullptr;
    FullPath path(name, directory);
    if (!path.get()) return false;
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
        return false;
    }
    if (code != 0 || !bitmapBlockUsable(thumbnail.get())) return false;
    *dib = thumbnail.release();
    return true;
}

uint16_t decodeExifFile(DecodedPicture* picture, LPCSTR name, LPCSTR directory)
{
    *picture = DecodedPicture{};
    FullPath path(name, directory);
    if (!path.get()) return DEC_ERR_NOMEMORY;
    EXIF_OPTIONS options = exifWholePicture();
    EXIF_RESULT result = {};
    const uint16_t code = libDecodeExifFile(progressOwner(), path.get(), &result, &options);
    return acceptDecodedBitmap(code, result.bitmap, result.extra, picture);
}

uint16_t decodeK4iFile(DecodedPicture* picture, LPCSTR name, LPCSTR directory)
{
    *picture = DecodedPicture{};
    FullPath path(name, directory);
    if (!path.get()) return DEC_ERR_NOMEMORY;
    return decodeK4iFullPath(picture, path.get(), PictureFrom::File);
}

uint16_t decodeK4iFullPath(DecodedPicture* picture, LPCSTR path, PictureFrom from)
{
    K4I_OPTIONS options = k4iWholePicture();
    K4I_RESULT result = {};
    const uint16_t code = libDecodeK4iFile(progressOwner(), from, path, &result, &options);
    return acceptDecodedBitmap(code, result.bitmap, result.extra, picture);
}

uint16_t decodeExifMemory(DecodedPicture* picture, HGLOBAL data, uint32_t size)
{
    EXIF_OPTIONS options = exifWholePicture();
    EXIF_RESULT result = {};
    const uint16_t code = libDecodeExifMemory(progressOwner(), PictureFrom::Camera, data, size, &result, &options);
    return acceptDecodedBitmap(code, result.bitmap, result.extra, picture);
}

PictureFacts pictureFacts(HGLOBAL bitmap)
{
    PictureFacts facts;
    GlobalLockGuard<BYTE> block(bitmap);
    if (!block || block.size() < sizeof(BITMAPINFOHEADER)) return facts;
    BITMAPINFOHEADER header;
    std::memcpy(&header, block.get(), sizeof header);
    facts.width = header.biWidth;
    facts.height = header.biHeight;
    if (header.biXPelsPerMeter != 0 && header.biYPelsPerMeter != 0) {
        facts.units = PictureUnits::Centimetres;
        facts.xPerUnit = static_cast<float>(header.biXPelsPerMeter * 0.01);
        facts.yPerUnit = static_cast<float>(header.biYPelsPerMeter * 0.01);
    }
    return facts;
}
