// VXXIF32 benchmark, run under Wine: a camera-sized Exif JPEG decoded whole and as a thumbnail
// through the library's exifDecodeMemory, and the same file decoded by stb_image (the decoder
// VXXIF32 used before, compiled as it was: SSE2, -O3) in the same process, whole and as the
// thumbnail VXXIF32 made from it before (whole picture, turned upright, area-averaged into the
// cell). Prints the best milliseconds of each (runs interleaved) and the ratios.
// The native build (without sanitizers) builds it too: the same decoding path called directly,
// for a measurement on the build machine itself.
// Usage: exif_bench.exe picture.jpg [runs]   (a picture of orientation 1)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#ifdef _WIN32
#include "win32/maker/vxxif32.h"
#else
#include <malloc.h>

#include "exif_decode.h"
#endif
#include "picture_file.h"
#include "stopwatch.h"
#include "picture.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <stb_image.h>

namespace {

// The fastest run: on a shared machine other work only ever adds time.
double best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void fail(const char* what) {
    std::fprintf(stderr, "exif_bench: %s\n", what);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) fail("usage: exif_bench.exe picture.jpg [runs]");
#ifndef _WIN32
    // Every bitmap comes from the heap and goes back to it, as in a process that has been
    // running a while: glibc would otherwise hand each 36 MB block back to the kernel and take
    // a fresh one, and on a virtual machine the page faults of filling it weigh as much as the
    // decode itself, for both decoders alike.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    PictureFile picture;
    if (!loadPictureFile(argv[1], &picture)) fail("cannot read the picture");
    const std::vector<uint8_t>& file = picture.bytes;

    int width = 0, height = 0;
#ifdef _WIN32
    auto decodeWith = [&](bool wholePicture) {
        EXIF_OPTIONS options = {8, 8, BYTE(wholePicture ? 1 : 0)};
        EXIF_RESULT result = {};
        WORD scratch = 0;
        if (exifDecodeMemory(picture.block, DWORD(file.size()), &result, &scratch, &options, nullptr) != 0)
            fail("VXXIF32 failed");
        GlobalFree(result.bitmap);
        GlobalFree(result.extra);
    };
#else
    auto decodeWith = [&](bool wholePicture) {
        std::unique_ptr<uint8_t[]> block;
        BlockAllocator allocator{&block, [](void* b, size_t size) -> uint8_t* {
                                     auto* p = static_cast<std::unique_ptr<uint8_t[]>*>(b);
                                     p->reset(new uint8_t[size]);  // not cleared, as GlobalAlloc's block is not
                                     return p->get();
                                 }};
        JpegFacts facts;
        uint16_t rc = wholePicture ? exifDecodePicture(file.data(), file.size(), allocator, ProgressSink{}, &facts)
                                   : exifDecodeThumbnail(file.data(), file.size(), allocator, &facts);
        if (rc != 0) fail("the decode failed");
    };
#endif
    auto decodeStb = [&] {
        int n = 0;
        stbi_uc* rgb = stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &n, 3);
        if (!rgb) fail("stb_image failed");
        stbi_image_free(rgb);
    };

    auto thumbnailStb = [&] {
        int n = 0;
        stbi_uc* rgb = stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &n, 3);
        if (!rgb) fail("stb_image failed");
        std::vector<uint8_t> upright(size_t(width) * height * 3);
        placeStoredRows(rgbPixels(upright.data(), width, height), width, height, 1, 0, height, rgb);
        stbi_image_free(rgb);
        std::vector<uint8_t> block(dibBlockSize(THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT));
        writeDibHeader(block.data(), THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, 0, 0);
        drawThumbnail(dibPixels(block.data()), upright.data(), width, height);
    };

    std::vector<double> ours, stb, thumbs, stbThumbs;
    decodeWith(true);  // warm up: first use of the heap and the code pages
    decodeStb();
    for (int i = 0; i < runs; ++i) {
        ours.push_back(milliseconds([&] { decodeWith(true); }));
        stb.push_back(milliseconds(decodeStb));
        thumbs.push_back(milliseconds([&] { decodeWith(false); }));
        stbThumbs.push_back(milliseconds(thumbnailStb));
    }
    std::printf("picture %d x %d, %u bytes, best of %d runs\n", width, height, unsigned(file.size()), runs);
    std::printf("VXXIF32 whole picture   %8.1f ms\n", best(ours));
    std::printf("stb_image whole picture %8.1f ms\n", best(stb));
    std::printf("VXXIF32 thumbnail       %8.1f ms\n", best(thumbs));
    std::printf("stb_image thumbnail     %8.1f ms  (whole picture, upright, area-averaged)\n", best(stbThumbs));
    std::printf("ratio VXXIF32 / stb_image, whole picture    %.2f\n", best(ours) / best(stb));
    std::printf("ratio thumbnail / whole picture (VXXIF32)   %.2f\n", best(thumbs) / best(ours));
    std::printf("ratio thumbnail VXXIF32 / stb_image's way   %.2f\n", best(thumbs) / best(stbThumbs));
    return 0;
}
