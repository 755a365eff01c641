// Our own small reader of the JPEG marker structure and of the Exif and JFIF facts the
// decoder needs: picture size, resolution, orientation and the embedded thumbnail. It checks
// every length and offset against the data before anything is decoded, so the JPEG decoder
// behind it only ever sees a file whose structure is sound and whose size is bounded.
#pragma once

#include <cstddef>
#include <cstdint>

// More scans than this is a file built to make the decoder work, not a picture.
constexpr uint32_t JPEG_MAX_SCANS = 100;

struct JpegFacts {
    uint32_t width;        // from the frame header, as stored (before orientation)
    uint32_t height;
    uint8_t components;    // 1, 3 or 4
    uint8_t frameMarker;   // 0xC0, 0xC1 or 0xC2
    uint32_t xPelsPerMeter;  // Exif IFD0, else JFIF density; 0 when the file has none
    uint32_t yPelsPerMeter;
    uint16_t orientation;    // Exif 1-8; 1 when absent or out of range
    const uint8_t* exif;     // TIFF data of the Exif APP1 segment ("II"/"MM" onwards), or null
    size_t exifSize;
    const uint8_t* thumbnail;  // embedded JPEG thumbnail (IFD1), or null
    size_t thumbnailSize;
};

// Walks the markers from SOI to EOI, reads APP0/APP1 and the frame header, and skips through
// the entropy-coded data. Returns an ImageResult code: BAD_FORMAT for no JPEG or damaged
// segments, TRUNCATED when the data ends before EOI, UNSUPPORTED for frame types other than
// baseline, extended and progressive Huffman with 8-bit samples, TOO_LARGE beyond the limits.
uint16_t parseJpeg(const uint8_t* data, size_t size, JpegFacts* facts);

// A quick look at a file of fileSize bytes from its first `size` bytes: the same walk and
// checks, but only up to and including the first scan header, and the rest of the file must be
// able to hold one bit a block. The scan data, later scans and EOI are not looked at: damage
// there shows when the picture is decoded. TRUNCATED also when `data` ends before the first
// scan header (the caller may read further and try again).
uint16_t parseJpegHeaders(const uint8_t* data, size_t size, uint64_t fileSize, JpegFacts* facts);

// Pixels per metre from a resolution and its unit (2 inch, 3 centimetre); 0 when the value
// cannot be a resolution.
uint32_t pelsPerMeter(double dotsPerUnit, int unit);
