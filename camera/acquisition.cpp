#include "camera/acquisition.h"

#include "camera/camera_connection.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera/image_decoding.h"
#include "camera/library_calls.h"
#include "win32/maker/vxk4x32.h"
#include "camera_window/picture_list.h"
#include "file_browser/file_list.h"
#include "file_browser/thumbnail_grid.h"
#include "win32/global_memory.h"
#include "win32/scoped_handle.h"
#include "twain/source_state.h"

#include <string>

namespace {

const char SPLIT_DIRECTORY[] = "LX3TWAIN";
const char SPLIT_K4I[] = "N0100001.K4I";
const char SPLIT_K4S[] = "N0100001.K4S";
const char SPLIT_REL[] = "N0100001.REL";
const char DOWNLOAD_PREFIX[] = "dsc";

// Code of a download whose K4I data could not be written to its temporary file.
constexpr uint16_t DOWNLOAD_ERR_TEMP_FILE = 1;
constexpr uint16_t ACQUIRE_ERR_UNKNOWN = 0xFFFF;

// The temporary path as the system reports it, ending in a backslash; empty when there is none.
std::string temporaryPath()
{
    // Asked with a one-character buffer (Windows documents no null one); a path that does not
    // fit comes back as the size it needs, terminating null included.
    char probe[1];
    const DWORD length = GetTempPathA(sizeof probe, probe);
    if (length == 0) return std::string();
    std::string path(length, '\0');
    const DWORD written = GetTempPathA(length, &path[0]);
    if (written == 0 || written >= length) return std::string();
    path.resize(written);
    return path;
}

void invalidateWithoutErasing(HWND window)
{
    if (window && IsWindow(window)) InvalidateRect(window, nullptr, FALSE);
}

bool readWholeFile(const std::string& path, HGLOBAL* block, uint32_t* size)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD high = 0;
    const DWORD length = GetFileSize(file.get(), &high);
    if (length == INVALID_FILE_SIZE || high != 0 || length == 0) return false;
    ScopedGlobal data(globalAllocate(length));
    if (!data) return false;
    {
        GlobalLockGuard<BYTE> bytes(data.get());
        if (!bytes) return false;
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.get(), length, &read, nullptr) || read != length) return false;
    }
    *block = data.release();
    *size = length;
    return true;
}

bool writeWholeFile(const char* path, HGLOBAL block, uint32_t size)
{
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) return false;
    GlobalLockGuard<BYTE> bytes(block);
    if (!bytes || bytes.size() < size) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.get(), size, &written, nullptr) && written == size;
}

// LX-1 and LX-2: the numbers off the front of the list until one gives a picture; pictures the
// camera skips or that hold no data are passed over. Returns with *ended when the list ran out.
uint16_t downloadNextListed(HGLOBAL* bitmap, bool* ended)
{
    for (;;) {
        const uint16_t number = pictureListTakeFirst();
        if (number == 0) {
            *ended = true;
            return 0;
        }
        g_camera.currentPicture = number;
        const uint16_t code = downloadPicture(bitmap, number);
        if (code == CAM_ERR_SKIP || (code == 0 && !*bitmap)) continue;
        return code;
    }
}

uint16_t acquireCameraPicture(HGLOBAL* bitmap)
{
    uint16_t code = 0;
    bool ended = false;
    switch (g_settings.modelNumber) {
    case 1:
    case 2:
        code = downloadNextListed(bitmap, &ended);
        break;
    case 3: {
        // Every memory transfer asks for the next picture inside the call that delivers the
        // last strip of the previous one: an empty list ends the selection here too, rather
        // than asking the camera for a picture 0 it does not have.
        const uint16_t number = pictureListTakeFirst();
        if (number == 0) {
            ended = true;
            break;
        }
        g_camera.currentPicture = number;
        code = downloadPictureLx3(bitmap, number);
        break;
    }
    default:
        return ACQUIRE_ERR_UNKNOWN;
    }
    if (ended) {
        g_source.pendingCount = 0;
        *bitmap = nullptr;
        cameraShowNumbers();
    }
    if (code != 0) {
        g_source.pendingCount = 0;
        fileListRelease();
        pictureListEmpty();
        cameraShowNumbers();
    }
    invalidateWithoutErasing(g_source.cameraWindow);
    return code;
}

// The name of the file being acquired, relative to the current directory.
char g_fileName[MAX_PATH];

uint16_t acquireFile(HGLOBAL* bitmap)
{
    const FileKind kind = g_source.fileKind;
    if (kind != FILE_KIND_EXIF && kind != FILE_KIND_K4I) return ACQUIRE_ERR_UNKNOWN;
    if (!fileListTakeNextSelected(kind, g_fileName, sizeof g_fileName)) return 0;
    const uint16_t code = kind == FILE_KIND_EXIF ? decodeExifFile(bitmap, g_fileName) : decodeK4iFile(bitmap, g_fileName);
    if (code == DEC_ERR_CANCELLED) {
        // The user stopped it: no file of the selection is acquired any more.
        g_source.pendingCount = 0;
        *bitmap = nullptr;
        gridClearSelection(kind);
    }
    invalidateWithoutErasing(g_source.fileBrowserWindow);
    return code;
}

}  // namespace

uint16_t splitCameraData(HGLOBAL data, uint32_t size, HGLOBAL* k4i, uint32_t* k4iSize)
{
    *k4i = nullptr;
    *k4iSize = 0;
    const std::string temporary = temporaryPath();
    if (temporary.empty()) return 0xFFFF;
    const std::string directory = temporary + SPLIT_DIRECTORY;
    const std::string k4iPath = directory + "\\" + SPLIT_K4I;
    const std::string k4sPath = directory + "\\" + SPLIT_K4S;
    const std::string relPath = directory + "\\" + SPLIT_REL;

    CreateDirectoryA(directory.c_str(), nullptr);  // an existing one is fine
    k4iSplitData(data, size, directory.c_str());   // what it left behind is what counts
    const bool read = readWholeFile(k4iPath, k4i, k4iSize);

    DeleteFileA(k4iPath.c_str());
    DeleteFileA(k4sPath.c_str());
    DeleteFileA(relPath.c_str());
    RemoveDirectoryA(directory.c_str());
    return read ? 0 : 0xFFFF;
}

uint16_t downloadPicture(HGLOBAL* bitmap, uint16_t pictureNumber)
{
    *bitmap = nullptr;
    const uint16_t number = pictureNumber;
    HGLOBAL cameraData = nullptr;
    uint32_t cameraSize = 0;
    const uint16_t code = g_settings.modelNumber == 1
                              ? libGetPicture1(g_source.cameraWindow, number, &cameraData, &cameraSize)
                              : libGetPicture2(g_source.cameraWindow, number, &cameraData, &cameraSize);
    ScopedGlobal data(cameraData);
    if (code != 0) {
        if (code == CAM_ERR_CANCELLED) g_camera.currentPicture = number;
        return code;
    }

    HGLOBAL k4iBlock = nullptr;
    uint32_t k4iSize = 0;
    splitCameraData(data.get(), cameraSize, &k4iBlock, &k4iSize);
    data.reset();
    ScopedGlobal k4i(k4iBlock);
    if (!k4i) return 0;  // no picture in the data: the caller passes it over

    char path[MAX_PATH] = "";
    const std::string temporary = temporaryPath();
    if (temporary.empty() || !GetTempFileNameA(temporary.c_str(), DOWNLOAD_PREFIX, 0, path))
        return DOWNLOAD_ERR_TEMP_FILE;
    const bool written = writeWholeFile(path, k4i.get(), k4iSize);
    k4i.reset();
    if (!written) {
        DeleteFileA(path);
        return DOWNLOAD_ERR_TEMP_FILE;
    }

    const uint16_t decoded = decodeK4iFullPath(bitmap, path);
    if (decoded == DEC_ERR_CANCELLED) g_camera.currentPicture = number;
    DeleteFileA(path);
    return decoded;
}

uint16_t downloadPictureLx3(HGLOBAL* bitmap, uint16_t pictureNumber)
{
    *bitmap = nullptr;
    BYTE scratch[PICTURE_REQUEST_SCRATCH_SIZE] = {};
    PICTURE_REQUEST request = {pictureNumber, 0, scratch, nullptr, 0};
    const uint16_t code = libGetPicture3(g_source.cameraWindow, g_camera.cameraHandle, &request);
    ScopedGlobal data(request.data);
    if (code != 0) {
        if (code == CAM_ERR_CANCELLED) g_camera.currentPicture = pictureNumber;
        return code;
    }

    const uint16_t decoded = decodeExifMemory(bitmap, data.get(), request.dataSize);
    if (decoded == DEC_ERR_CANCELLED) g_camera.currentPicture = pictureNumber;
    return decoded;
}

uint16_t acquireNext(HGLOBAL* bitmap)
{
    *bitmap = nullptr;
    switch (g_source.transferOrigin) {
    case ORIGIN_FILE_BROWSER:
        return acquireFile(bitmap);
    case ORIGIN_CAMERA_WINDOW:
        return acquireCameraPicture(bitmap);
    default:
        return ACQUIRE_ERR_UNKNOWN;
    }
}

bool holdCurrentBitmap(HGLOBAL bitmap)
{
    const BITMAPINFOHEADER& header = g_source.imageHeader;
    bool usable = bitmapBlockUsable(bitmap);
    if (usable) {
        GlobalLockGuard<BITMAPINFOHEADER> block(bitmap);
        usable = block && block->biWidth == header.biWidth && block->biHeight == header.biHeight;
    }
    BYTE* locked = usable ? static_cast<BYTE*>(GlobalLock(bitmap)) : nullptr;
    if (!locked) {
        if (bitmap) GlobalFree(bitmap);
        return false;
    }
    g_source.currentBitmap = bitmap;
    // Rows are stored bottom-up and padded to 4 bytes: the top row is the last one in the block.
    const uint32_t rowBytes = dibRowBytes(static_cast<uint32_t>(header.biWidth));
    g_source.nextRow = locked + sizeof(BITMAPINFOHEADER) + (static_cast<uint32_t>(header.biHeight) - 1) * rowBytes;
    return true;
}
