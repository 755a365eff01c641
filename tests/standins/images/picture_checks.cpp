#include "picture_checks.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#ifndef SAMPLES_DIR
#error "SAMPLES_DIR names the generated sample folder"
#endif

namespace {

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

std::string samplePath(const std::string& name) { return std::string(SAMPLES_DIR) + "/" + name; }

std::vector<uint8_t> readSample(const std::string& name) {
    std::ifstream in(samplePath(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::vector<uint8_t>& referencePicture() {
    static const std::vector<uint8_t> pixels = readSample("picture_641x479.rgb");
    return pixels;
}

DibFacts dibFacts(const uint8_t* b) {
    return DibFacts{le32(b),      int32_t(le32(b + 4)),  int32_t(le32(b + 8)),  le16(b + 12),
                    le16(b + 14), le32(b + 16),          le32(b + 20),          int32_t(le32(b + 24)),
                    int32_t(le32(b + 28)), le32(b + 32)};
}

Rgb dibPixel(const uint8_t* block, uint32_t x, uint32_t y) {
    DibFacts f = dibFacts(block);
    uint32_t stride = (uint32_t(f.width) * 3 + 3) / 4 * 4;
    const uint8_t* p = block + 40 + size_t(stride) * (uint32_t(f.height) - 1 - y) + size_t(x) * 3;
    return Rgb{p[2], p[1], p[0]};
}

Difference compareWithRgb(const uint8_t* block, const uint8_t* rgb, uint32_t width, uint32_t height) {
    Difference d{0, 0.0};
    uint64_t sum = 0;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            Rgb c = dibPixel(block, x, y);
            const uint8_t* want = rgb + (size_t(y) * width + x) * 3;
            int diffs[3] = {std::abs(c.r - want[0]), std::abs(c.g - want[1]), std::abs(c.b - want[2])};
            for (int v : diffs) {
                if (v > d.largest) d.largest = v;
                sum += uint64_t(v);
            }
        }
    d.mean = double(sum) / (double(width) * height * 3);
    return d;
}

bool closeTo(Rgb c, int r, int g, int b, int tolerance) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

bool showsUprightQuadrants(const uint8_t* block, uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
    // Quadrant base colours of tools/samples/make_samples.py plus about half their gradients.
    const int tolerance = 30;
    Rgb tl = dibPixel(block, left + width / 4, top + height / 4);
    Rgb tr = dibPixel(block, left + 3 * width / 4, top + height / 4);
    Rgb bl = dibPixel(block, left + width / 4, top + 3 * height / 4);
    Rgb br = dibPixel(block, left + 3 * width / 4, top + 3 * height / 4);
    return closeTo(tl, 226, 46, 44, tolerance) && closeTo(tr, 58, 206, 48, tolerance) && closeTo(bl, 46, 58, 228, tolerance) &&
           closeTo(br, 248, 248, 72, tolerance);
}

int ProgressLog::record(int code, int value) {
    calls.emplace_back(code, value);
    return stopAt != 0 && calls.size() >= stopAt ? -1 : 0;
}

std::string ProgressLog::protocolProblem() const {
    if (calls.size() < 2) return "fewer than two calls";
    if (calls.front().first != 1) return "first call is not begin";
    if (calls.back().first != 2) return "last call is not end";
    int last = -1;
    for (size_t i = 1; i + 1 < calls.size(); ++i) {
        if (calls[i].first != 16) return "call " + std::to_string(i) + " is neither begin, end nor percent";
        int v = calls[i].second;
        if (v < 0 || v > 100 || v < last) return "percent " + std::to_string(v) + " after " + std::to_string(last);
        last = v;
    }
    return "";
}

size_t ProgressLog::percentCount() const {
    size_t n = 0;
    for (const auto& c : calls) n += c.first == 16;
    return n;
}

std::vector<uint8_t> patternPixels(uint32_t width, uint32_t height, uint32_t seed) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < rgb.size(); ++i) {
        // Half noise, half smooth, so both zlib's literal and match paths are exercised.
        state = state * 1664525u + 1013904223u;
        rgb[i] = (i / 3) % width < width / 2 ? uint8_t(state >> 24) : uint8_t(i % 251);
    }
    return rgb;
}
