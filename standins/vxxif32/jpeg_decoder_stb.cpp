// jpeg_decoder.h on top of stb_image, JPEG only. stb reads through callbacks so that the
// bytes it has consumed give the decode's progress and a stop request can cut its input.
#include "jpeg_decoder.h"

#include <cstring>

#include "picture.h"
#include "result_codes.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS PICTURE_MAX_SIDE
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif
// stb_image 2.27 (Debian 12's) refills its bit buffer with a shift of 32 once corrupt entropy
// data has drained it below zero bits (stb issue 1293, fixed after that release). x86 masks
// the count, so a corrupt file only decodes to garbage pixels, as corrupt files do; the
// sanitizer builds leave that one check out for stb's code so the fuzzer can look further.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((no_sanitize("shift-exponent"))), apply_to = function)
#endif
#include <stb_image.h>
#if defined(__clang__)
#pragma clang attribute pop
#endif
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

struct Feed {
    const uint8_t* data;
    size_t size;
    size_t at;
    JpegReadWatch watch;
    bool stopped;
};

int feedRead(void* user, char* out, int wanted) {
    Feed* f = static_cast<Feed*>(user);
    // After a stop the decoder sees the end of its input and winds down on its own.
    if (f->stopped || wanted <= 0) return 0;
    size_t n = f->size - f->at < size_t(wanted) ? f->size - f->at : size_t(wanted);
    std::memcpy(out, f->data + f->at, n);
    f->at += n;
    if (f->watch.onRead && !f->watch.onRead(f->watch.context, f->at, f->size)) f->stopped = true;
    return int(n);
}

void feedSkip(void* user, int n) {
    Feed* f = static_cast<Feed*>(user);
    if (n < 0) f->at = size_t(-int64_t(n)) > f->at ? 0 : f->at - size_t(-int64_t(n));
    else f->at = f->size - f->at < size_t(n) ? f->size : f->at + size_t(n);
}

int feedEof(void* user) {
    Feed* f = static_cast<Feed*>(user);
    return f->stopped || f->at >= f->size;
}

}  // namespace

uint16_t jpegDecode(const uint8_t* data, size_t size, JpegReadWatch watch, JpegPixels* out) {
    std::memset(out, 0, sizeof *out);
    Feed feed{data, size, 0, watch, false};
    stbi_io_callbacks callbacks{feedRead, feedSkip, feedEof};
    int width = 0, height = 0, components = 0;
    stbi_uc* rgb = stbi_load_from_callbacks(&callbacks, &feed, &width, &height, &components, 3);
    if (feed.stopped) {
        stbi_image_free(rgb);
        return IMG_ERR_CANCELLED;
    }
    if (!rgb) {
        const char* reason = stbi_failure_reason();
        return reason && std::strcmp(reason, "outofmem") == 0 ? IMG_ERR_NO_MEMORY : IMG_ERR_CORRUPT;
    }
    out->rgb = rgb;
    out->width = uint32_t(width);
    out->height = uint32_t(height);
    return IMG_OK;
}

void jpegRelease(JpegPixels* pixels) {
    stbi_image_free(pixels->rgb);
    pixels->rgb = nullptr;
}
