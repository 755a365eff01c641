// k4itool: makes K4I files from ordinary pictures and shows what a K4I file holds.
//
//   k4itool convert <picture> <out.k4i> [--orientation 1-8] [--dpi X[,Y]] [--ppm X[,Y]]
//                   [--kind still|other] [--rows N]
//   k4itool dump <file.k4i>
//
// convert reads JPEG, PNG, BMP or PNM and stores the pixels as they are; --orientation says
// how a viewer must turn them (Exif numbering). dump prints the header and checks every CRC
// by decoding the whole picture. Exit code 0 on success, 1 on a bad file, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "k4i_format.h"
#include "result_codes.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_PNM
#define STBI_MAX_DIMENSIONS PICTURE_MAX_SIDE
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace {

struct CodeName {
    uint16_t code;
    const char* text;
};
const CodeName kCodeNames[] = {
    {IMG_OK, "ok"},
    {IMG_ERR_NOT_FOUND, "cannot be read"},
    {IMG_ERR_BAD_FORMAT, "not a K4I file or inconsistent header"},
    {IMG_ERR_TRUNCATED, "truncated"},
    {IMG_ERR_CORRUPT, "corrupt (CRC or compressed data)"},
    {IMG_ERR_TOO_LARGE, "too large"},
    {IMG_ERR_BAD_ARGUMENT, "bad argument"},
    {IMG_ERR_UNSUPPORTED, "unsupported version"},
    {IMG_ERR_NO_MEMORY, "out of memory"},
};

const char* codeText(uint16_t code) {
    for (const CodeName& c : kCodeNames)
        if (c.code == code) return c.text;
    return "error";
}

int usage() {
    std::fprintf(stderr,
                 "usage: k4itool convert <picture> <out.k4i> [--orientation 1-8] [--dpi X[,Y]] [--ppm X[,Y]]\n"
                 "                       [--kind still|other] [--rows N]\n"
                 "       k4itool dump <file.k4i>\n");
    return 2;
}

bool readWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// "X" or "X,Y" as two numbers.
bool parsePair(const char* text, double* x, double* y) {
    char* end = nullptr;
    *x = std::strtod(text, &end);
    if (end == text) return false;
    *y = *x;
    if (*end == ',') {
        const char* second = end + 1;
        *y = std::strtod(second, &end);
        if (end == second) return false;
    }
    return *end == '\0' && *x >= 0 && *y >= 0 && *x < 1e7 && *y < 1e7;
}

int convert(int argc, char** argv) {
    if (argc < 4) return usage();
    K4iPicture picture{nullptr, 0, 0, K4I_KIND_STILL, 1, 0, 0, K4I_DEFAULT_ROWS_PER_STRIP};
    for (int i = 4; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        const char* value = argv[++i];
        double x = 0, y = 0;
        if (option == "--orientation") {
            int o = std::atoi(value);
            if (o < 1 || o > 8) return usage();
            picture.orientation = uint16_t(o);
        } else if (option == "--dpi" && parsePair(value, &x, &y)) {
            picture.xPelsPerMeter = uint32_t(x * 10000.0 / 254.0 + 0.5);
            picture.yPelsPerMeter = uint32_t(y * 10000.0 / 254.0 + 0.5);
        } else if (option == "--ppm" && parsePair(value, &x, &y)) {
            picture.xPelsPerMeter = uint32_t(x + 0.5);
            picture.yPelsPerMeter = uint32_t(y + 0.5);
        } else if (option == "--kind" && (std::strcmp(value, "still") == 0 || std::strcmp(value, "other") == 0)) {
            picture.kind = std::strcmp(value, "still") == 0 ? K4I_KIND_STILL : K4I_KIND_OTHER;
        } else if (option == "--rows" && std::atoi(value) >= 1 && std::atoi(value) <= 65535) {
            picture.rowsPerStrip = uint16_t(std::atoi(value));
        } else {
            return usage();
        }
    }
    int width = 0, height = 0, components = 0;
    stbi_uc* rgb = stbi_load(argv[2], &width, &height, &components, 3);
    if (!rgb) {
        std::fprintf(stderr, "k4itool: %s: %s\n", argv[2], stbi_failure_reason());
        return 1;
    }
    picture.rgb = rgb;
    picture.width = uint32_t(width);
    picture.height = uint32_t(height);
    std::vector<uint8_t> file;
    uint16_t rc = k4iEncode(picture, &file);
    stbi_image_free(rgb);
    if (rc != IMG_OK) {
        std::fprintf(stderr, "k4itool: %s: %s\n", argv[2], codeText(rc));
        return 1;
    }
    FILE* out = std::fopen(argv[3], "wb");
    bool written = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (out && std::fclose(out) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "k4itool: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%s: %d x %d, %u bytes\n", argv[3], width, height, unsigned(file.size()));
    return 0;
}

uint8_t* allocateVector(void* context, size_t size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    bytes->assign(size, 0);
    return bytes->data();
}

int dump(int argc, char** argv) {
    if (argc != 3) return usage();
    std::vector<uint8_t> file;
    if (!readWholeFile(argv[2], &file)) {
        std::fprintf(stderr, "k4itool: cannot read %s\n", argv[2]);
        return 1;
    }
    std::printf("file          %s (%u bytes)\n", argv[2], unsigned(file.size()));
    K4iHeader h;
    uint16_t rc = k4iReadHeader(file.data(), file.size(), file.size(), &h);
    if (rc != IMG_OK) {
        std::printf("header        %s (code %u)\n", codeText(rc), rc);
        return 1;
    }
    std::printf("version       %u\n", h.version);
    std::printf("kind          %u (%s)\n", h.kind, h.kind == K4I_KIND_STILL ? "still picture" : "other");
    std::printf("size          %u x %u\n", h.width, h.height);
    std::printf("resolution    %u x %u pixels/metre\n", h.xPelsPerMeter, h.yPelsPerMeter);
    std::printf("orientation   %u\n", h.orientation);
    std::printf("strips        %u of %u rows\n", h.stripCount, h.rowsPerStrip);
    std::printf("thumbnail     %u x %u, %u bytes\n", h.thumbWidth, h.thumbHeight, h.thumbBytes);
    std::vector<uint8_t> bitmap;
    rc = k4iDecodePicture(file.data(), file.size(), BlockAllocator{&bitmap, allocateVector}, ProgressSink{nullptr, nullptr});
    std::printf("decode        %s (code %u)\n", codeText(rc), rc);
    return rc == IMG_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) return convert(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "dump") == 0) return dump(argc, argv);
    return usage();
}
