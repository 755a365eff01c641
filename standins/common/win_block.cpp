#include "win_block.h"

#include <new>

#include "result_codes.h"

namespace {

struct FileHandle {
    explicit FileHandle(HANDLE h) : h(h) {}
    ~FileHandle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE h;
};

uint8_t* allocateFromContext(void* context, size_t size) { return static_cast<LockedBlock*>(context)->allocate(size); }

}  // namespace

LockedBlock::~LockedBlock() {
    if (data) GlobalUnlock(handle);
    if (handle) GlobalFree(handle);
}

uint8_t* LockedBlock::allocate(size_t size) {
    if (handle || size == 0) return nullptr;
    handle = GlobalAlloc(GHND, size);
    if (!handle) return nullptr;
    data = static_cast<uint8_t*>(GlobalLock(handle));
    return data;
}

HGLOBAL LockedBlock::handOver() {
    if (data) GlobalUnlock(handle);
    data = nullptr;
    HGLOBAL given = handle;
    handle = nullptr;
    return given;
}

BlockAllocator lockedBlockAllocator(LockedBlock* block) { return BlockAllocator{block, allocateFromContext}; }

uint16_t readFileStart(const char* path, uint64_t maxBytes, std::vector<uint8_t>* bytes, uint64_t* fileSize) {
    if (!path || !*path) return IMG_ERR_BAD_ARGUMENT;
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return IMG_ERR_NOT_FOUND;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.h, &length)) return IMG_ERR_NOT_FOUND;
    *fileSize = uint64_t(length.QuadPart);
    uint64_t wanted = *fileSize < maxBytes ? *fileSize : maxBytes;
    try {
        bytes->resize(size_t(wanted));
    } catch (const std::bad_alloc&) {
        return IMG_ERR_NO_MEMORY;
    }
    size_t done = 0;
    while (done < bytes->size()) {
        DWORD chunk = DWORD(bytes->size() - done > (1u << 24) ? (1u << 24) : bytes->size() - done);
        DWORD got = 0;
        if (!ReadFile(file.h, bytes->data() + done, chunk, &got, nullptr)) return IMG_ERR_NOT_FOUND;
        if (got == 0) break;  // the file shrank while we read it
        done += got;
    }
    bytes->resize(done);
    return IMG_OK;
}

uint16_t writeWholeFile(const char* path, const uint8_t* data, size_t size) {
    FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return IMG_ERR_WRITE;
    size_t done = 0;
    while (done < size) {
        DWORD chunk = DWORD(size - done > (1u << 24) ? (1u << 24) : size - done);
        DWORD put = 0;
        if (!WriteFile(file.h, data + done, chunk, &put, nullptr) || put == 0) return IMG_ERR_WRITE;
        done += put;
    }
    return IMG_OK;
}
