#include "camera/acquisition.h"

#include "camera/camera_position.h"
#include "camera/library_calls.h"
#include "win32/global_memory.h"
#include "win32/maker/vxk4x32.h"
#include "win32/scoped_handle.h"

#include <string>

namespace {

const char SPLIT_DIRECTORY[] = "LX3TWAIN";
const char SPLIT_K4I[] = "N0100001.K4I";
const char SPLIT_K4S[] = "N0100001.K4S";
const char SPLIT_REL[] = "N0100001.REL";
const char DOWNLOAD_PREFIX[] = "dsc";

// Code of a download whose K4I data could not be written to its temporary file.
constexpr uint16_t DOWNLOAD_ERR_TEMP_FILE = 1;

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

uint16_t downloadPicture(DecodedPicture* picture, uint16_t pictureNumber, CameraDataDownload download)
{
    *picture = DecodedPicture{};
    const uint16_t number = pictureNumber;
    HGLOBAL cameraData = nullptr;
    uint32_t cameraSize = 0;
    const uint16_t code = download(progressOwner(), number, &cameraData, &cameraSize);
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

    const uint16_t decoded = decodeK4iFullPath(picture, path, PictureFrom::Camera);
    if (decoded == DEC_ERR_CANCELLED) g_camera.currentPicture = number;
    DeleteFileA(path);
    return decoded;
}

uint16_t downloadPictureLx3(DecodedPicture* picture, uint16_t pictureNumber)
{
    *picture = DecodedPicture{};
    BYTE scratch[PICTURE_REQUEST_SCRATCH_SIZE] = {};
    PICTURE_REQUEST request = {pictureNumber, 0, scratch, nullptr, 0};
    const uint16_t code = libGetPicture3(progressOwner(), g_camera.cameraHandle, &request);
    ScopedGlobal data(request.data);
    if (code != 0) {
        if (code == CAM_ERR_CANCELLED) g_camera.currentPicture = pictureNumber;
        return code;
    }

    const uint16_t decoded = decodeExifMemory(picture, data.get(), request.dataSize);
    if (decoded == DEC_ERR_CANCELLED) g_camera.currentPicture = pictureNumber;
    return decoded;
}
