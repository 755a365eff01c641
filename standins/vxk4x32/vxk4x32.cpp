// VXK4X32.dll: thin Windows layer over the portable K4I reader (k4i_format.cpp). It reads the
// files, allocates the caller's blocks and adapts the progress callback.
#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "win32/maker/vxk4x32.h"
#include "../common/camera_data.h"
#include "../common/win_block.h"
#include "k4i_format.h"
#include "result_codes.h"

// The data source reads these codes by the header's names; the cores return ImageResult.
static_assert(int(K4I_ERR_NOT_FOUND) == int(IMG_ERR_NOT_FOUND) &&
                  int(K4I_ERR_BAD_FORMAT) == int(IMG_ERR_BAD_FORMAT) &&
                  int(K4I_ERR_TRUNCATED) == int(IMG_ERR_TRUNCATED) &&
                  int(K4I_ERR_CORRUPT) == int(IMG_ERR_CORRUPT) &&
                  int(K4I_ERR_TOO_LARGE) == int(IMG_ERR_TOO_LARGE) &&
                  int(K4I_ERR_BAD_ARGUMENT) == int(IMG_ERR_BAD_ARGUMENT) &&
                  int(K4I_ERR_UNSUPPORTED) == int(IMG_ERR_UNSUPPORTED) &&
                  int(K4I_ERR_WRITE) == int(IMG_ERR_WRITE) &&
                  int(K4I_ERR_NO_PICTURE) == int(IMG_ERR_NO_PICTURE) &&
                  int(DEC_ERR_NOMEMORY) == int(IMG_ERR_NO_MEMORY) &&
                  int(DEC_ERR_CANCELLED) == int(IMG_ERR_CANCELLED),
              "the header's codes are the cores' codes");

namespace {

int reportToCallback(void* context, int code, int value) {
    return reinterpret_cast<ProgressCallback2>(context)(code, value);
}

// The side block handed out with every bitmap: a copy of the file's header.
uint16_t copyHeaderBlock(const std::vector<uint8_t>& file, LockedBlock* extra) {
    uint8_t* p = extra->allocate(K4I_HEADER_SIZE);
    if (!p) return IMG_ERR_NO_MEMORY;
    std::memcpy(p, file.data(), K4I_HEADER_SIZE);
    return IMG_OK;
}

uint16_t deliver(uint16_t rc, const std::vector<uint8_t>& file, LockedBlock* bitmap, K4I_RESULT* result) {
    LockedBlock extra;
    if (rc == IMG_OK) rc = copyHeaderBlock(file, &extra);
    if (rc != IMG_OK) return rc;  // both blocks are freed by their owners
    result->bitmap = bitmap->handOver();
    result->extra = extra.handOver();
    return IMG_OK;
}

const char* const kSplitNames[4] = {nullptr, "N0100001.K4I", "N0100001.K4S", "N0100001.REL"};

// Reads a K4I file's first bytes: the header, then as far as `through` says (the thumbnail, or
// also the strip table). The file browser calls this for every file it lists, so the strips
// themselves are never read here.
uint16_t readK4iStart(LPCSTR path, uint64_t (*through)(const K4iHeader&), std::vector<uint8_t>* file,
                      uint64_t* fileSize, K4iHeader* header) {
    uint16_t rc = readFileStart(path, K4I_HEADER_SIZE, file, fileSize);
    if (rc != IMG_OK) return rc;
    rc = k4iReadHeader(file->data(), file->size(), *fileSize, header);
    if (rc != IMG_OK) return rc;
    return readFileStart(path, through(*header), file, fileSize);
}

uint64_t throughThumbnail(const K4iHeader& h) { return k4iStripTableOffset(h); }
uint64_t throughStripTable(const K4iHeader& h) { return k4iStripDataOffset(h); }

}  // namespace

extern "C" WORD WINAPI k4iCheckFile(LPCSTR path, WORD* flag) {
    if (!flag) return IMG_ERR_BAD_ARGUMENT;
    *flag = 0;
    std::vector<uint8_t> file;
    uint64_t fileSize = 0;
    K4iHeader header;
    uint16_t rc = readK4iStart(path, throughStripTable, &file, &fileSize, &header);
    if (rc != IMG_OK) return rc;
    rc = k4iCheckComplete(file.data(), file.size(), fileSize, &header);
    if (rc != IMG_OK) return rc;
    *flag = header.kind == K4I_KIND_STILL ? 1 : 0;
    return IMG_OK;
}

extern "C" WORD WINAPI k4iReadThumbnail(LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options, DWORD reserved) {
    if (!result) return IMG_ERR_BAD_ARGUMENT;
    result->bitmap = nullptr;
    result->extra = nullptr;
    std::vector<uint8_t> file;
    uint64_t fileSize = 0;
    K4iHeader header;
    uint16_t rc = readK4iStart(path, throughThumbnail, &file, &fileSize, &header);
    if (rc != IMG_OK) return rc;
    LockedBlock bitmap;
    rc = k4iDecodeThumbnail(file.data(), file.size(), fileSize, lockedBlockAllocator(&bitmap));
    return deliver(rc, file, &bitmap, result);
}

extern "C" WORD WINAPI k4iDecodeFile(LPCSTR path, K4I_RESULT* result, K4I_OPTIONS* options, HWND owner,
                                     ProgressCallback2 progress) {
    if (!result) return IMG_ERR_BAD_ARGUMENT;
    result->bitmap = nullptr;
    result->extra = nullptr;
    std::vector<uint8_t> file;
    uint64_t fileSize = 0;
    uint16_t rc = readFileStart(path, K4I_MAX_FILE_SIZE, &file, &fileSize);
    if (rc != IMG_OK) return rc;
    if (fileSize > K4I_MAX_FILE_SIZE) return IMG_ERR_TOO_LARGE;
    LockedBlock bitmap;
    ProgressSink sink{reinterpret_cast<void*>(progress), progress ? reportToCallback : nullptr};
    rc = k4iDecodePicture(file.data(), file.size(), lockedBlockAllocator(&bitmap), sink);
    return deliver(rc, file, &bitmap, result);
}

namespace {

// The files of one split in one folder. Unless kept, they are all removed: the data source
// does not look at k4iSplitData's result and decodes N0100001.K4I next, so a failed split must
// not leave an older picture's file there to be delivered in this one's place.
struct SplitFiles {
    explicit SplitFiles(const std::string& folder) {
        for (uint32_t kind = CAMERA_PART_K4I; kind <= CAMERA_PART_REL; ++kind) path[kind] = folder + kSplitNames[kind];
    }
    ~SplitFiles() {
        if (kept) return;
        for (uint32_t kind = CAMERA_PART_K4I; kind <= CAMERA_PART_REL; ++kind) DeleteFileA(path[kind].c_str());
    }
    SplitFiles(const SplitFiles&) = delete;
    SplitFiles& operator=(const SplitFiles&) = delete;
    std::string path[4];
    bool kept = false;
};

uint16_t splitInto(const uint8_t* data, DWORD size, SplitFiles* files) {
    CameraDataParts parts;
    uint16_t rc = parseCameraData(data, size, &parts);
    if (rc != IMG_OK) return rc;
    if (!parts.part[CAMERA_PART_K4I] || parts.size[CAMERA_PART_K4I] == 0) return IMG_ERR_NO_PICTURE;
    K4iHeader header;
    rc = k4iCheckComplete(parts.part[CAMERA_PART_K4I], parts.size[CAMERA_PART_K4I], parts.size[CAMERA_PART_K4I], &header);
    if (rc != IMG_OK) return rc;
    for (uint32_t kind = CAMERA_PART_K4I; kind <= CAMERA_PART_REL; ++kind) {
        if (!parts.part[kind]) {
            // A companion left over from an earlier picture must not pass for this one's.
            DeleteFileA(files->path[kind].c_str());
            continue;
        }
        rc = writeWholeFile(files->path[kind].c_str(), parts.part[kind], parts.size[kind]);
        if (rc != IMG_OK) return rc;
    }
    files->kept = true;
    return IMG_OK;
}

}  // namespace

extern "C" WORD WINAPI k4iSplitData(HGLOBAL data, DWORD size, LPCSTR directory) {
    if (!directory || !*directory) return IMG_ERR_BAD_ARGUMENT;
    std::string folder(directory);
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    if (folder.size() + std::strlen(kSplitNames[CAMERA_PART_K4I]) >= MAX_PATH) return IMG_ERR_BAD_ARGUMENT;
    SplitFiles files(folder);
    if (!data) return IMG_ERR_BAD_ARGUMENT;
    // The size comes with the handle from a camera library; never read past the real block.
    if (GlobalSize(data) < size) return IMG_ERR_BAD_ARGUMENT;
    ReadLock lock(data);
    if (!lock.data) return IMG_ERR_BAD_ARGUMENT;
    return splitInto(lock.data, size, &files);
}
