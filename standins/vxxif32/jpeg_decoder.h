// The JPEG decoder behind VXXIF32, kept behind this one interface so it can be replaced.
// It is only ever given data that parseJpeg (exif_parser.h) accepted.
#pragma once

#include <cstddef>
#include <cstdint>

// Called as the decoder consumes its input; returning false stops the decode.
struct JpegReadWatch {
    void* context;
    bool (*onRead)(void* context, size_t consumed, size_t total);
};

struct JpegPixels {
    uint8_t* rgb;  // top-down RGB rows, width x 3 bytes each; release with jpegRelease
    uint32_t width;
    uint32_t height;
};

// Returns an ImageResult code: OK, CANCELLED (the watch said stop), NO_MEMORY or CORRUPT.
uint16_t jpegDecode(const uint8_t* data, size_t size, JpegReadWatch watch, JpegPixels* out);
void jpegRelease(JpegPixels* pixels);
