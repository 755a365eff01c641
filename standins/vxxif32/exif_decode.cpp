#include "exif_decode.h"

#include <new>
#include <vector>

#include "jpeg_decoder.h"
#include "result_codes.h"

namespace {

// Share of the bar given to the decoder's reading; the rest covers turning rows upright.
constexpr uint64_t DECODE_SHARE = 90;
constexpr uint32_t PLACE_ROWS_PER_STEP = 64;

bool reportRead(void* context, size_t consumed, size_t total) {
    return static_cast<ProgressRun*>(context)->advance(uint64_t(consumed) * DECODE_SHARE, uint64_t(total) * 100);
}

// Frees the decoder's pixels on every way out.
struct DecodedPixels {
    DecodedPixels() : pixels{nullptr, 0, 0} {}
    ~DecodedPixels() { jpegRelease(&pixels); }
    DecodedPixels(const DecodedPixels&) = delete;
    DecodedPixels& operator=(const DecodedPixels&) = delete;
    JpegPixels pixels;
};

uint16_t decodeChecked(const uint8_t* data, size_t size, const JpegFacts& facts, JpegReadWatch watch,
                       DecodedPixels* decoded) {
    uint16_t rc = jpegDecode(data, size, watch, &decoded->pixels);
    if (rc != IMG_OK) return rc;
    // The decoder must agree with the frame header we bounded; anything else is a file that
    // means different things to different readers.
    if (decoded->pixels.width != facts.width || decoded->pixels.height != facts.height) return IMG_ERR_CORRUPT;
    return IMG_OK;
}

uint16_t drawThumbnailBlock(const JpegPixels& stored, int orientation, BlockAllocator allocator) {
    bool swap = orientationSwapsAxes(orientation);
    uint32_t w = swap ? stored.height : stored.width, h = swap ? stored.width : stored.height;
    try {
        std::vector<uint8_t> upright(size_t(w) * h * 3);
        placeStoredRows(rgbPixels(upright.data(), w, h), stored.width, stored.height, orientation, 0, stored.height,
                        stored.rgb);
        uint8_t* block = allocator.allocate(allocator.context, dibBlockSize(THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT));
        if (!block) return IMG_ERR_NO_MEMORY;
        writeDibHeader(block, THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, 0, 0);
        drawThumbnail(dibPixels(block), upright.data(), w, h);
    } catch (const std::bad_alloc&) {
        return IMG_ERR_NO_MEMORY;
    }
    return IMG_OK;
}

}  // namespace

uint16_t exifDecodePicture(const uint8_t* data, size_t size, BlockAllocator allocator, ProgressSink progress,
                           JpegFacts* facts) {
    uint16_t rc = parseJpeg(data, size, facts);
    if (rc != IMG_OK) return rc;
    ProgressRun run(progress);
    if (!run.begin()) return IMG_ERR_CANCELLED;
    DecodedPixels decoded;
    rc = decodeChecked(data, size, *facts, JpegReadWatch{&run, reportRead}, &decoded);
    if (rc != IMG_OK) return rc;
    if (run.stopped()) return IMG_ERR_CANCELLED;

    const JpegPixels& stored = decoded.pixels;
    bool swap = orientationSwapsAxes(facts->orientation);
    uint32_t width = swap ? stored.height : stored.width, height = swap ? stored.width : stored.height;
    uint8_t* block = allocator.allocate(allocator.context, dibBlockSize(width, height));
    if (!block) return IMG_ERR_NO_MEMORY;
    writeDibHeader(block, width, height, swap ? facts->yPelsPerMeter : facts->xPelsPerMeter,
                   swap ? facts->xPelsPerMeter : facts->yPelsPerMeter);
    PixelView upright = dibPixels(block);
    for (uint32_t row = 0; row < stored.height; row += PLACE_ROWS_PER_STEP) {
        uint32_t rows = stored.height - row < PLACE_ROWS_PER_STEP ? stored.height - row : PLACE_ROWS_PER_STEP;
        placeStoredRows(upright, stored.width, stored.height, facts->orientation, row, rows,
                        stored.rgb + size_t(row) * stored.width * 3);
        uint64_t done = uint64_t(row + rows);
        if (!run.advance(DECODE_SHARE * stored.height + (100 - DECODE_SHARE) * done, 100ull * stored.height))
            return IMG_ERR_CANCELLED;
    }
    return IMG_OK;
}

uint16_t exifDecodeThumbnail(const uint8_t* data, size_t size, BlockAllocator allocator, JpegFacts* facts) {
    uint16_t rc = parseJpeg(data, size, facts);
    if (rc != IMG_OK) return rc;
    JpegFacts thumbFacts;
    if (facts->thumbnail && parseJpeg(facts->thumbnail, facts->thumbnailSize, &thumbFacts) == IMG_OK &&
        thumbFacts.width <= EXIF_THUMB_MAX_SIDE && thumbFacts.height <= EXIF_THUMB_MAX_SIDE) {
        DecodedPixels thumb;
        if (decodeChecked(facts->thumbnail, facts->thumbnailSize, thumbFacts, JpegReadWatch{nullptr, nullptr}, &thumb) ==
            IMG_OK)
            // The embedded thumbnail is stored like the picture, so the picture's orientation applies.
            return drawThumbnailBlock(thumb.pixels, facts->orientation, allocator);
        // A damaged embedded thumbnail does not make the picture unusable: fall through.
    }
    DecodedPixels whole;
    rc = decodeChecked(data, size, *facts, JpegReadWatch{nullptr, nullptr}, &whole);
    if (rc != IMG_OK) return rc;
    return drawThumbnailBlock(whole.pixels, facts->orientation, allocator);
}
