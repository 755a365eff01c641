// The benchmarks' picture: the whole file in memory, and (Windows build) a copy in a movable
// global block as the decoders take it.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

struct PictureFile {
    std::vector<uint8_t> bytes;
#ifdef _WIN32
    HGLOBAL block = nullptr;  // the same bytes; the process ends with it
#endif
};

// False when the file cannot be read or the block cannot be had.
inline bool loadPictureFile(const char* path, PictureFile* picture)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        picture->bytes.insert(picture->bytes.end(), chunk, chunk + n);
    std::fclose(f);
#ifdef _WIN32
    picture->block = GlobalAlloc(GMEM_MOVEABLE, picture->bytes.size() ? picture->bytes.size() : 1);
    void* p = picture->block ? GlobalLock(picture->block) : nullptr;
    if (!p) return false;
    std::memcpy(p, picture->bytes.data(), picture->bytes.size());
    GlobalUnlock(picture->block);
#endif
    return true;
}
