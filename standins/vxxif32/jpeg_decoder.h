// The JPEG decoder behind VXXIF32 (libjpeg-turbo, jpeg_decoder_turbo.cpp), kept behind this one
// interface. It is only ever given data that parseJpeg (exif_parser.h) accepted; it delivers
// rows as it decodes them, so the caller can place them straight into its bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the decoded picture goes. Every callback is optional but `rows`.
struct JpegRowSink {
    void* context;
    // Once the header is read: the frame's size and the size the rows will have (smaller when
    // decoding at a reduced scale). Returns an ImageResult code; anything but OK ends the decode
    // with that code (a size that disagrees with what the caller parsed, no memory).
    uint16_t (*begin)(void* context, uint32_t frameWidth, uint32_t frameHeight, uint32_t width, uint32_t height);
    // Rows [first, first + count) of the output, top-down RGB, width x 3 bytes each.
    void (*rows)(void* context, uint32_t first, uint32_t count, const uint8_t* rgb);
    // Optional: where output row `row` may be written directly as blue-green-red (a bitmap row
    // when no turn is needed). Asked for row 0 after `begin`: null means every row goes through
    // `rows`; otherwise it is asked for each row. CMYK pictures always go through `rows`.
    uint8_t* (*directRow)(void* context, uint32_t row);
    // The share of the decode done so far; returning false stops it (IMG_ERR_CANCELLED).
    bool (*progress)(void* context, uint64_t done, uint64_t total);
};

struct JpegDecodeOptions {
    // Non-zero: decode at the smallest DCT scale (1/8, 1/4, 1/2, else whole) whose output is still
    // at least coverWidth x coverHeight, for a picture that is only shown small.
    uint32_t coverWidth = 0;
    uint32_t coverHeight = 0;
    // Most memory the decoder may take for its own buffers (a progressive picture keeps all its
    // coefficients: 2 bytes a sample); beyond it the decode fails with IMG_ERR_NO_MEMORY.
    size_t memoryLimit = 256u * 1024 * 1024;
};

// Returns an ImageResult code: OK; CANCELLED (progress said stop); NO_MEMORY; CORRUPT for
// entropy-coded data that cannot be decoded (bad Huffman codes, a scan that ends early, wrong
// restart markers); BAD_FORMAT, TRUNCATED, UNSUPPORTED or TOO_LARGE for a structure the decoder
// refuses (which parseJpeg should have refused first); or what `begin` returned.
uint16_t jpegDecode(const uint8_t* data, size_t size, const JpegDecodeOptions& options, const JpegRowSink& sink);
