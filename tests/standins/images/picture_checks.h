// What the image-file tests share: the generated samples, reading a bitmap block's header and
// pixels as the data source does, comparing them with reference pixels, and recording the
// progress calls a decoder makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

std::string samplePath(const std::string& name);
std::vector<uint8_t> readSample(const std::string& name);

// The upright picture every orientation sample shows (641 x 479, RGB rows top-down).
constexpr uint32_t REFERENCE_WIDTH = 641;
constexpr uint32_t REFERENCE_HEIGHT = 479;
const std::vector<uint8_t>& referencePicture();

struct DibFacts {
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
};
DibFacts dibFacts(const uint8_t* block);

struct Rgb {
    int r, g, b;
};
// Pixel (x, y) counted from the picture's top-left corner.
Rgb dibPixel(const uint8_t* block, uint32_t x, uint32_t y);

struct Difference {
    int largest;
    double mean;
};
// Compares a bitmap block with top-down RGB pixels of the same size.
Difference compareWithRgb(const uint8_t* block, const uint8_t* rgb, uint32_t width, uint32_t height);

// True when `c` is within `tolerance` of (r, g, b) in every channel.
bool closeTo(Rgb c, int r, int g, int b, int tolerance);

// The centres of the reference picture's quadrants have these colours (top-left, top-right,
// bottom-left, bottom-right); thumbnails and lossy decodes are judged by them.
bool showsUprightQuadrants(const uint8_t* block, uint32_t left, uint32_t top, uint32_t width, uint32_t height);

// Records (code, value) calls; answers -1 from call number stopAt (0 = never).
struct ProgressLog {
    std::vector<std::pair<int, int>> calls;
    size_t stopAt = 0;
    int record(int code, int value);
    // Begin first, end last, percentages 0-100 never going back: the dialog's protocol.
    std::string protocolProblem() const;
    size_t percentCount() const;
};

std::vector<uint8_t> patternPixels(uint32_t width, uint32_t height, uint32_t seed);
