#include "exif_decode.h"

#include <new>
#include <vector>

#include "jpeg_decoder.h"
#include "result_codes.h"

namespace {

// Puts the decoder's rows upright into their target as they arrive: the caller's bitmap block
// for a whole picture, a buffer of its own for a thumbnail (allocator without a function).
struct Placement {
    uint32_t frameWidth, frameHeight;  // what parseJpeg read and bounded
    int orientation;
    uint32_t xPelsPerMeter, yPelsPerMeter;
    BlockAllocator allocator;
    ProgressRun* run;
    std::vector<uint8_t> buffer;
    PixelView upright{};
    uint32_t storedWidth = 0, storedHeight = 0;
};

uint16_t beginPlacement(void* context, uint32_t frameWidth, uint32_t frameHeight, uint32_t width, uint32_t height) {
    Placement* p = static_cast<Placement*>(context);
    // The decoder must agree with the frame header we bounded; anything else is a file that
    // means different things to different readers.
    if (frameWidth != p->frameWidth || frameHeight != p->frameHeight) return IMG_ERR_CORRUPT;
    bool swap = orientationSwapsAxes(p->orientation);
    uint32_t uprightWidth = swap ? height : width, uprightHeight = swap ? width : height;
    p->storedWidth = width;
    p->storedHeight = height;
    if (!p->allocator.allocate) {
        try {
            p->buffer.assign(size_t(uprightWidth) * uprightHeight * 3, 0);
        } catch (const std::bad_alloc&) {
            return IMG_ERR_NO_MEMORY;
        }
        p->upright = rgbPixels(p->buffer.data(), uprightWidth, uprightHeight);
        return IMG_OK;
    }
    uint8_t* block = p->allocator.allocate(p->allocator.context, dibBlockSize(uprightWidth, uprightHeight));
    if (!block) return IMG_ERR_NO_MEMORY;
    writeDibHeader(block, uprightWidth, uprightHeight, swap ? p->yPelsPerMeter : p->xPelsPerMeter,
                   swap ? p->xPelsPerMeter : p->yPelsPerMeter);
    p->upright = dibPixels(block);
    return IMG_OK;
}

void placeRows(void* context, uint32_t first, uint32_t count, const uint8_t* rgb) {
    Placement* p = static_cast<Placement*>(context);
    placeStoredRows(p->upright, p->storedWidth, p->storedHeight, p->orientation, first, count, rgb);
}

// A picture that needs no turn is decoded straight into its bitmap rows.
uint8_t* bitmapRow(void* context, uint32_t row) {
    Placement* p = static_cast<Placement*>(context);
    if (normalOrientation(p->orientation) != 1 || !p->upright.bgr) return nullptr;
    return p->upright.top + ptrdiff_t(row) * p->upright.rowStep;
}

bool reportProgress(void* context, uint64_t done, uint64_t total) {
    return static_cast<Placement*>(context)->run->advance(done, total);
}

// One JPEG (the embedded thumbnail or the picture) decoded for a thumbnail into `p`'s buffer,
// upright, at the smallest DCT scale that still covers its place in the cell.
uint16_t decodeSmall(const uint8_t* data, size_t size, uint32_t width, uint32_t height, int orientation,
                     Placement* p) {
    *p = Placement{width, height, orientation, 0, 0, BlockAllocator{nullptr, nullptr}, nullptr, {}};
    bool swap = orientationSwapsAxes(orientation);
    uint32_t fitWidth = 0, fitHeight = 0;
    fitInto(swap ? height : width, swap ? width : height, THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, &fitWidth, &fitHeight);
    JpegDecodeOptions options;
    options.coverWidth = swap ? fitHeight : fitWidth;
    options.coverHeight = swap ? fitWidth : fitHeight;
    return jpegDecode(data, size, options, JpegRowSink{p, beginPlacement, placeRows, nullptr, nullptr});
}

// The small upright picture area-averaged into the cell, centred on black.
uint16_t drawThumbnailBlock(const Placement& small, BlockAllocator allocator) {
    uint8_t* block = allocator.allocate(allocator.context, dibBlockSize(THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT));
    if (!block) return IMG_ERR_NO_MEMORY;
    writeDibHeader(block, THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, 0, 0);
    drawThumbnail(dibPixels(block), small.buffer.data(), small.upright.width, small.upright.height);
    return IMG_OK;
}

// The embedded thumbnail decoded into `small`, when there is a usable one. It is stored like the
// picture, so the picture's orientation applies.
bool decodeEmbedded(const JpegFacts& facts, Placement* small) {
    JpegFacts thumb;
    return facts.thumbnail && parseJpeg(facts.thumbnail, facts.thumbnailSize, &thumb) == IMG_OK &&
           thumb.width <= EXIF_THUMB_MAX_SIDE && thumb.height <= EXIF_THUMB_MAX_SIDE &&
           decodeSmall(facts.thumbnail, facts.thumbnailSize, thumb.width, thumb.height, facts.orientation, small) ==
               IMG_OK;
}

}  // namespace

uint16_t exifDecodePicture(const uint8_t* data, size_t size, BlockAllocator allocator, ProgressSink progress,
                           JpegFacts* facts) {
    uint16_t rc = parseJpeg(data, size, facts);
    if (rc != IMG_OK) return rc;
    ProgressRun run(progress);
    if (!run.begin()) return IMG_ERR_CANCELLED;
    Placement p{facts->width, facts->height, facts->orientation, facts->xPelsPerMeter, facts->yPelsPerMeter,
                allocator, &run, {}};
    rc = jpegDecode(data, size, JpegDecodeOptions(), JpegRowSink{&p, beginPlacement, placeRows, bitmapRow, reportProgress});
    if (rc != IMG_OK) return rc;
    return run.stopped() ? IMG_ERR_CANCELLED : IMG_OK;
}

uint16_t exifDecodeThumbnail(const uint8_t* data, size_t size, BlockAllocator allocator, JpegFacts* facts) {
    uint16_t rc = parseJpeg(data, size, facts);
    if (rc != IMG_OK) return rc;
    Placement small{};
    // A damaged embedded thumbnail does not make the picture unusable: the picture itself is used.
    if (decodeEmbedded(*facts, &small)) return drawThumbnailBlock(small, allocator);
    rc = decodeSmall(data, size, facts->width, facts->height, facts->orientation, &small);
    if (rc != IMG_OK) return rc;
    return drawThumbnailBlock(small, allocator);
}

uint16_t exifDecodeHeadThumbnail(const uint8_t* head, size_t headSize, uint64_t fileSize, BlockAllocator allocator,
                                 JpegFacts* facts) {
    uint16_t rc = parseJpegHeaders(head, headSize, fileSize, facts);
    if (rc != IMG_OK) return rc;
    Placement small{};
    if (!decodeEmbedded(*facts, &small)) return IMG_ERR_NOT_FOUND;
    return drawThumbnailBlock(small, allocator);
}
