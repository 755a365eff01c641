// The K4I still-image format (see docs/k4i-format.md) and the camera-data container that
// carries it, read and written without windows.h so the sanitizer, fuzzer and host-tool builds
// use exactly the code of VXK4X32.dll.
//
// Layout, little-endian:
//   0  "K4IF"                 4  u16 version (1)       6  u16 kind (1 still picture, 2 other)
//   8  u32 width             12  u32 height           16  u32 x pixels/metre  20  u32 y pixels/metre
//  24  u16 orientation 1-8   26  u16 rows per strip   28  u32 strip count
//  32  u16 thumbnail width   34  u16 thumbnail height 36  u32 thumbnail bytes 40  u32 thumbnail CRC-32
//  44  u32 CRC-32 of bytes 0-43
//  48  thumbnail: zlib stream of RGB rows
//      strip table: strip count x (u32 bytes, u32 CRC-32 of those bytes)
//      strips: zlib streams of `rows per strip` RGB rows each (the last may hold fewer)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture.h"
#include "progress.h"

constexpr uint8_t  K4I_MAGIC[4] = {'K', '4', 'I', 'F'};
constexpr uint16_t K4I_VERSION = 1;
constexpr uint32_t K4I_HEADER_SIZE = 48;
constexpr uint32_t K4I_STRIP_ENTRY_SIZE = 8;
constexpr uint16_t K4I_KIND_STILL = 1;
constexpr uint16_t K4I_KIND_OTHER = 2;  // e.g. a movie's index frame: shown by nobody
constexpr uint32_t K4I_THUMB_MAX_WIDTH = 160;  // the DCF thumbnail size
constexpr uint32_t K4I_THUMB_MAX_HEIGHT = 120;
constexpr uint16_t K4I_DEFAULT_ROWS_PER_STRIP = 16;
constexpr uint64_t K4I_MAX_FILE_SIZE = 512ull * 1024 * 1024;

struct K4iHeader {
    uint16_t version;
    uint16_t kind;
    uint32_t width;
    uint32_t height;
    uint32_t xPelsPerMeter;
    uint32_t yPelsPerMeter;
    uint16_t orientation;
    uint16_t rowsPerStrip;
    uint32_t stripCount;
    uint16_t thumbWidth;
    uint16_t thumbHeight;
    uint32_t thumbBytes;
    uint32_t thumbCrc;
};

// Offsets derived from a checked header.
inline uint64_t k4iStripTableOffset(const K4iHeader& h) { return K4I_HEADER_SIZE + uint64_t(h.thumbBytes); }
inline uint64_t k4iStripDataOffset(const K4iHeader& h) {
    return k4iStripTableOffset(h) + uint64_t(h.stripCount) * K4I_STRIP_ENTRY_SIZE;
}

// Checks the header in the first `available` bytes of a file of `fileSize` bytes: magic,
// version, header CRC, dimensions, strip geometry, and that the thumbnail and the strip table
// lie inside the file. The strips themselves are checked when they are decoded.
uint16_t k4iReadHeader(const uint8_t* data, size_t available, uint64_t fileSize, K4iHeader* header);

// Checks that the whole file is there: header, thumbnail, strip table and every strip's
// bytes (no CRCs). `data` holds at least the file's first k4iStripDataOffset bytes (the
// header, thumbnail and strip table); the file has `fileSize` bytes.
uint16_t k4iCheckComplete(const uint8_t* data, size_t available, uint64_t fileSize, K4iHeader* header);

// Decodes the thumbnail (the file's first K4I_HEADER_SIZE + thumbBytes bytes suffice) into a
// THUMBNAIL_WIDTH x THUMBNAIL_HEIGHT bitmap block, upright.
uint16_t k4iDecodeThumbnail(const uint8_t* data, size_t available, uint64_t fileSize, BlockAllocator allocator);

// Decodes the whole picture (the whole file in `data`) into an upright bitmap block, strip by
// strip, with progress; a stop between strips gives IMG_ERR_CANCELLED.
uint16_t k4iDecodePicture(const uint8_t* data, size_t size, BlockAllocator allocator, ProgressSink progress);

struct K4iPicture {
    const uint8_t* rgb;  // stored rows, top-down RGB, unpadded
    uint32_t width;
    uint32_t height;
    uint16_t kind;
    uint16_t orientation;
    uint32_t xPelsPerMeter;
    uint32_t yPelsPerMeter;
    uint16_t rowsPerStrip;
};

// Writes a K4I file; the thumbnail is made from the stored pixels. Returns an ImageResult code.
uint16_t k4iEncode(const K4iPicture& picture, std::vector<uint8_t>* file);

// The parts of a camera-data container (standins/common/camera_data.h), pointing into it.
struct CameraDataParts {
    const uint8_t* part[4];  // indexed by CameraPartKind; null when absent
    uint32_t size[4];
};

// Checks a container of `size` bytes completely: magic, version, part count, kinds, every
// size, no bytes left over. Returns an ImageResult code.
uint16_t parseCameraData(const uint8_t* data, size_t size, CameraDataParts* parts);
