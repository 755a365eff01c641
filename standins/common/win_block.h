// Windows side of the stand-ins: the movable global blocks that carry bitmaps and side data
// to the caller, and whole-file reads. One owner per block until it is handed over, so that
// every early return of a decode frees what it allocated.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "picture.h"

struct LockedBlock {
    LockedBlock() = default;
    ~LockedBlock();
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    uint8_t* allocate(size_t size);  // movable, zero-filled, locked; null when out of memory
    HGLOBAL handOver();              // unlocks and gives the block away

    HGLOBAL handle = nullptr;
    uint8_t* data = nullptr;
};

// A BlockAllocator that fills `block`.
BlockAllocator lockedBlockAllocator(LockedBlock* block);

// Maps a caller's data handle for reading and checks `size` against the block's real size.
struct ReadLock {
    ReadLock(HGLOBAL handle) : handle(handle), data(handle ? static_cast<const uint8_t*>(GlobalLock(handle)) : nullptr) {}
    ~ReadLock() {
        if (data) GlobalUnlock(handle);
    }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

    HGLOBAL handle;
    const uint8_t* data;
};

// Reads at most maxBytes from the start of a file; fileSize gets the whole file's length.
// Returns an ImageResult code.
uint16_t readFileStart(const char* path, uint64_t maxBytes, std::vector<uint8_t>* bytes, uint64_t* fileSize);

// Writes a whole file, replacing an older one. Returns an ImageResult code.
uint16_t writeWholeFile(const char* path, const uint8_t* data, size_t size);
