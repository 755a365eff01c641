// Bitmap layout shared by every picture the stand-ins hand out: a packed DIB with a 40-byte
// header, 24 bits a pixel, bottom-up rows in blue-green-red order, each row padded to a
// multiple of 4 bytes and biSizeImage = padded row x height. Portable (no windows.h) so the
// sanitizer and fuzzer builds run the same code as the DLLs.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t DIB_HEADER_SIZE = 40;

// Upper bounds for any picture we decode: 16384 on a side and 32 million pixels keep a
// decode (source pixels, bitmap block) well inside a 32-bit process's address space.
constexpr uint32_t PICTURE_MAX_SIDE   = 16384;
constexpr uint64_t PICTURE_MAX_PIXELS = 32ull * 1024 * 1024;

// Thumbnails are made to the size the file browser's grid draws them, so the grid's stretch
// is a plain copy and the aspect ratio survives: the picture is fitted and centred on black.
constexpr uint32_t THUMBNAIL_WIDTH  = 96;
constexpr uint32_t THUMBNAIL_HEIGHT = 72;

// Where a decoder gets its bitmap block: zero-filled memory of `size` bytes, or null when
// there is none. The caller of the decoder owns the block, also when the decode fails.
struct BlockAllocator {
    void* context;
    uint8_t* (*allocate)(void* context, size_t size);
};

bool pictureSizeAllowed(uint32_t width, uint32_t height);

uint32_t dibStride(uint32_t width);
// Bytes of the whole block (header and pixels); 0 when the size is not allowed.
size_t dibBlockSize(uint32_t width, uint32_t height);
// Fills the 40-byte header at the start of a block of dibBlockSize(width, height) bytes.
void writeDibHeader(uint8_t* block, uint32_t width, uint32_t height, uint32_t xPelsPerMeter, uint32_t yPelsPerMeter);

// Exif orientation 1-8 (other values are read as 1): how the stored rows must be turned to
// show the picture upright. 5-8 swap width and height.
int normalOrientation(int orientation);
bool orientationSwapsAxes(int orientation);

// A writable view of 24-bit pixels. rowStep may be negative (a bottom-up DIB seen from its
// top row); bgr says whether the byte order is blue-green-red.
struct PixelView {
    uint8_t* top;       // first byte of the picture's top row
    uint32_t width;
    uint32_t height;
    ptrdiff_t rowStep;
    bool bgr;
};

PixelView dibPixels(uint8_t* block);  // view of a block filled by writeDibHeader
PixelView rgbPixels(uint8_t* rgb, uint32_t width, uint32_t height);  // top-down RGB, unpadded

// Copies rows [firstRow, firstRow + rowCount) of a stored picture (top-down RGB, unpadded,
// storedWidth x storedHeight) to their upright place in `upright`, whose size must be the
// stored size, swapped for orientations 5-8.
void placeStoredRows(const PixelView& upright, uint32_t storedWidth, uint32_t storedHeight, int orientation,
                     uint32_t firstRow, uint32_t rowCount, const uint8_t* rgb);

// Area-averaged resampling of a top-down RGB picture into the rectangle (x, y, w, h) of `dst`;
// enlarging repeats pixels.
void resampleInto(const PixelView& dst, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                  const uint8_t* srcRgb, uint32_t srcWidth, uint32_t srcHeight);

// Size of `width` x `height` fitted into maxWidth x maxHeight, aspect kept, at least 1 x 1.
void fitInto(uint32_t width, uint32_t height, uint32_t maxWidth, uint32_t maxHeight, uint32_t* fitWidth,
             uint32_t* fitHeight);

// Draws an upright top-down RGB picture as a thumbnail into a THUMBNAIL_WIDTH x THUMBNAIL_HEIGHT
// view: black bars, picture fitted and centred.
void drawThumbnail(const PixelView& thumb, const uint8_t* uprightRgb, uint32_t width, uint32_t height);
