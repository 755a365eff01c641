#include "exif_parser.h"

#include <cmath>
#include <cstring>

#include "picture.h"
#include "result_codes.h"

namespace {

uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

// A TIFF block in either byte order; every read is bounds-checked.
struct Tiff {
    const uint8_t* data;
    size_t size;
    bool bigEndian;

    bool has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
    uint16_t u16(size_t at) const {
        const uint8_t* p = data + at;
        return bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t u32(size_t at) const {
        return bigEndian ? uint32_t(u16(at)) << 16 | u16(at + 2) : uint32_t(u16(at + 2)) << 16 | u16(at);
    }
};

enum : uint16_t {
    TAG_ORIENTATION = 0x0112,
    TAG_X_RESOLUTION = 0x011A,
    TAG_Y_RESOLUTION = 0x011B,
    TAG_RESOLUTION_UNIT = 0x0128,
    TAG_COMPRESSION = 0x0103,
    TAG_THUMBNAIL_OFFSET = 0x0201,
    TAG_THUMBNAIL_LENGTH = 0x0202,
};
enum : uint16_t { TYPE_SHORT = 3, TYPE_LONG = 4, TYPE_RATIONAL = 5 };

struct IfdValues {
    bool present[7];
    uint32_t orientation, unit, compression, thumbOffset, thumbLength;
    double xRes, yRes;
};

// Offset of an entry's value: inline when it fits in four bytes, else at the offset it holds.
bool valueAt(const Tiff& t, size_t entry, uint16_t type, uint32_t count, size_t* at) {
    static const uint8_t kTypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    if (type == 0 || type > 12 || count == 0) return false;
    uint64_t bytes = uint64_t(kTypeSize[type]) * count;
    if (bytes <= 4) {
        *at = entry + 8;
        return true;
    }
    uint32_t offset = t.u32(entry + 8);
    if (!t.has(offset, bytes)) return false;
    *at = offset;
    return true;
}

bool readNumber(const Tiff& t, size_t entry, uint32_t* out) {
    uint16_t type = t.u16(entry + 2);
    uint32_t count = t.u32(entry + 4);
    size_t at = 0;
    if (!valueAt(t, entry, type, count, &at)) return false;
    if (type == TYPE_SHORT) *out = t.u16(at);
    else if (type == TYPE_LONG) *out = t.u32(at);
    else return false;
    return true;
}

bool readRational(const Tiff& t, size_t entry, double* out) {
    uint16_t type = t.u16(entry + 2);
    uint32_t count = t.u32(entry + 4);
    size_t at = 0;
    if (type != TYPE_RATIONAL || !valueAt(t, entry, type, count, &at)) return false;
    uint32_t numerator = t.u32(at), denominator = t.u32(at + 4);
    if (denominator == 0) return false;
    *out = double(numerator) / denominator;
    return true;
}

// Reads one IFD; *next gets the offset of the following one (0 at the end). A damaged IFD is
// ignored as a whole: the picture stays decodable without its Exif facts.
bool readIfd(const Tiff& t, uint32_t offset, IfdValues* v, uint32_t* next) {
    std::memset(v, 0, sizeof *v);
    *next = 0;
    if (!t.has(offset, 2)) return false;
    uint16_t count = t.u16(offset);
    if (!t.has(uint64_t(offset) + 2, uint64_t(count) * 12 + 4)) return false;
    for (uint16_t i = 0; i < count; ++i) {
        size_t entry = offset + 2 + size_t(i) * 12;
        uint16_t tag = t.u16(entry);
        switch (tag) {
        case TAG_ORIENTATION: v->present[0] = readNumber(t, entry, &v->orientation); break;
        case TAG_X_RESOLUTION: v->present[1] = readRational(t, entry, &v->xRes); break;
        case TAG_Y_RESOLUTION: v->present[2] = readRational(t, entry, &v->yRes); break;
        case TAG_RESOLUTION_UNIT: v->present[3] = readNumber(t, entry, &v->unit); break;
        case TAG_COMPRESSION: v->present[4] = readNumber(t, entry, &v->compression); break;
        case TAG_THUMBNAIL_OFFSET: v->present[5] = readNumber(t, entry, &v->thumbOffset); break;
        case TAG_THUMBNAIL_LENGTH: v->present[6] = readNumber(t, entry, &v->thumbLength); break;
        default: break;
        }
    }
    *next = t.u32(offset + 2 + size_t(count) * 12);
    return true;
}

void readExif(const uint8_t* tiff, size_t size, JpegFacts* facts) {
    if (size < 8) return;
    Tiff t{tiff, size, false};
    if (std::memcmp(tiff, "II*\0", 4) == 0) t.bigEndian = false;
    else if (std::memcmp(tiff, "MM\0*", 4) == 0) t.bigEndian = true;
    else return;
    facts->exif = tiff;
    facts->exifSize = size;
    IfdValues ifd0;
    uint32_t ifd1Offset = 0;
    if (!readIfd(t, t.u32(4), &ifd0, &ifd1Offset)) return;
    if (ifd0.present[0] && ifd0.orientation >= 1 && ifd0.orientation <= 8) facts->orientation = uint16_t(ifd0.orientation);
    if (ifd0.present[1] && ifd0.present[2]) {
        int unit = ifd0.present[3] ? int(ifd0.unit) : 2;  // Exif's default unit is the inch
        uint32_t x = pelsPerMeter(ifd0.xRes, unit), y = pelsPerMeter(ifd0.yRes, unit);
        if (x && y) {
            facts->xPelsPerMeter = x;
            facts->yPelsPerMeter = y;
        }
    }
    IfdValues ifd1;
    uint32_t ignored = 0;
    // IFD1 describes the thumbnail; only a JPEG one (compression 6, or unstated) is used.
    if (ifd1Offset == 0 || !readIfd(t, ifd1Offset, &ifd1, &ignored)) return;
    if (!ifd1.present[5] || !ifd1.present[6]) return;
    if (ifd1.present[4] && ifd1.compression != 6) return;
    if (ifd1.thumbLength < 4 || !t.has(ifd1.thumbOffset, ifd1.thumbLength)) return;
    const uint8_t* thumb = tiff + ifd1.thumbOffset;
    if (thumb[0] != 0xFF || thumb[1] != 0xD8) return;
    facts->thumbnail = thumb;
    facts->thumbnailSize = ifd1.thumbLength;
}

void readJfif(const uint8_t* p, size_t size, uint32_t* xPpm, uint32_t* yPpm) {
    // "JFIF\0", version (2), units (1), X density (2), Y density (2): big-endian.
    if (size < 12 || std::memcmp(p, "JFIF\0", 5) != 0) return;
    int units = p[7];
    uint16_t x = be16(p + 8), y = be16(p + 10);
    if (units != 1 && units != 2) return;  // 0: an aspect ratio, not a resolution
    uint32_t xp = pelsPerMeter(x, units == 1 ? 2 : 3), yp = pelsPerMeter(y, units == 1 ? 2 : 3);
    if (xp && yp) {
        *xPpm = xp;
        *yPpm = yp;
    }
}

// Frame header: precision, height, width, components and each component's sampling factors.
// Then what the scans send of each component: for each coefficient the lowest bit position a
// scan has carried (0 once it is complete; NOT_SENT before any scan carried it).
constexpr uint8_t NOT_SENT = 0xFF;
struct FrameComponents {
    uint8_t id[4];
    uint8_t h[4];  // sampling factors
    uint8_t v[4];
    uint8_t lowestBit[4][64];
};

uint16_t readFrame(uint8_t marker, const uint8_t* p, size_t size, JpegFacts* facts, FrameComponents* comps) {
    // Only the Huffman frames with 8-bit samples: lossless, hierarchical and arithmetic-coded
    // frames are valid JPEG but nothing a camera of this family writes.
    if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2) return IMG_ERR_UNSUPPORTED;
    if (facts->frameMarker) return IMG_ERR_BAD_FORMAT;  // a second frame
    if (size < 6) return IMG_ERR_BAD_FORMAT;
    if (p[0] != 8) return IMG_ERR_UNSUPPORTED;
    uint32_t height = be16(p + 1), width = be16(p + 3);
    uint8_t components = p[5];
    if (components != 1 && components != 3 && components != 4) return IMG_ERR_UNSUPPORTED;
    if (size != 6 + size_t(components) * 3) return IMG_ERR_BAD_FORMAT;
    for (uint8_t c = 0; c < components; ++c) {
        const uint8_t* comp = p + 6 + c * 3;
        uint8_t h = comp[1] >> 4, v = comp[1] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4 || comp[2] > 3) return IMG_ERR_BAD_FORMAT;
        for (uint8_t earlier = 0; earlier < c; ++earlier)
            if (comps->id[earlier] == comp[0]) return IMG_ERR_BAD_FORMAT;
        comps->id[c] = comp[0];
        comps->h[c] = h;
        comps->v[c] = v;
    }
    std::memset(comps->lowestBit, NOT_SENT, sizeof comps->lowestBit);
    // Height 0 announces a DNL marker later on, which our decoder does not take.
    if (width == 0 || height == 0) return IMG_ERR_UNSUPPORTED;
    if (!pictureSizeAllowed(width, height)) return IMG_ERR_TOO_LARGE;
    facts->width = width;
    facts->height = height;
    facts->components = components;
    facts->frameMarker = marker;
    return IMG_OK;
}

// Huffman tables: class 0/1, id 0-3, at most 256 symbols, and code counts that fit their
// lengths (a complete binary code has at most 2^j codes of length j). Decoders trust these
// counts when they fill fixed-size tables.
// `defined` collects the tables seen: bit (class * 4 + id).
uint16_t checkHuffmanTables(const uint8_t* p, size_t size, uint8_t* defined) {
    size_t at = 0;
    while (at < size) {
        if (size - at < 17) return IMG_ERR_BAD_FORMAT;
        if ((p[at] >> 4) > 1 || (p[at] & 15) > 3) return IMG_ERR_BAD_FORMAT;
        *defined |= uint8_t(1u << ((p[at] >> 4) * 4 + (p[at] & 15)));
        uint32_t symbols = 0, codes = 0;
        for (int length = 1; length <= 16; ++length) {
            uint32_t count = p[at + size_t(length)];
            symbols += count;
            codes = (codes << 1) + count;
            if (codes > (1u << length)) return IMG_ERR_BAD_FORMAT;
        }
        if (symbols > 256 || size - at - 17 < symbols) return IMG_ERR_BAD_FORMAT;
        at += 17 + symbols;
    }
    return IMG_OK;
}

// Quantisation tables: 8- or 16-bit entries, id 0-3, exactly filling the segment.
uint16_t checkQuantisationTables(const uint8_t* p, size_t size) {
    size_t at = 0;
    while (at < size) {
        uint8_t precision = p[at] >> 4;
        if (precision > 1 || (p[at] & 15) > 3) return IMG_ERR_BAD_FORMAT;
        size_t length = 1 + 64 * (precision + 1u);
        if (size - at < length) return IMG_ERR_BAD_FORMAT;
        at += length;
    }
    return IMG_OK;
}

// Scan header: 1-4 components of the frame, spectral range and bit positions inside what the
// frame type allows, and every Huffman table the scan decodes with defined before it (a decoder
// we used before read past its tables when a scan used one that was never defined).
uint16_t checkScanHeader(const uint8_t* p, size_t size, const JpegFacts& facts, const FrameComponents& comps,
                         uint8_t definedTables) {
    if (size < 1) return IMG_ERR_BAD_FORMAT;
    uint8_t count = p[0];
    if (count < 1 || count > 4 || count > facts.components || size != 4 + size_t(count) * 2) return IMG_ERR_BAD_FORMAT;
    uint8_t start = p[1 + count * 2], end = p[2 + count * 2], high = p[3 + count * 2] >> 4, low = p[3 + count * 2] & 15;
    bool progressive = facts.frameMarker == 0xC2;
    if (progressive) {
        if (start > 63 || end > 63 || start > end || high > 13 || low > 13) return IMG_ERR_BAD_FORMAT;
        // DC scans carry DC only; AC scans carry one component.
        if ((start == 0 && end != 0) || (start > 0 && count != 1)) return IMG_ERR_BAD_FORMAT;
    } else if (start != 0 || end != 63 || high != 0 || low != 0) {
        return IMG_ERR_BAD_FORMAT;
    }
    bool needsDc = !progressive || (start == 0 && high == 0);
    bool needsAc = !progressive || start > 0;
    for (uint8_t i = 0; i < count; ++i) {
        uint8_t id = p[1 + i * 2], dc = p[2 + i * 2] >> 4, ac = p[2 + i * 2] & 15;
        bool known = false;
        for (uint8_t c = 0; c < facts.components; ++c) known = known || comps.id[c] == id;
        if (!known || dc > 3 || ac > 3) return IMG_ERR_BAD_FORMAT;
        if (needsDc && !(definedTables & (1u << dc))) return IMG_ERR_BAD_FORMAT;
        if (needsAc && !(definedTables & (1u << (4 + ac)))) return IMG_ERR_BAD_FORMAT;
    }
    return IMG_OK;
}

// Records what a checked scan header sends: its coefficients down to its low bit position. A
// sequential frame sends each component whole in exactly one scan.
uint16_t recordScan(const uint8_t* p, const JpegFacts& facts, FrameComponents* comps) {
    uint8_t count = p[0];
    uint8_t start = p[1 + count * 2], end = p[2 + count * 2], low = p[3 + count * 2] & 15;
    for (uint8_t i = 0; i < count; ++i) {
        uint8_t c = 0;
        while (comps->id[c] != p[1 + i * 2]) ++c;  // checkScanHeader found it among the frame's
        if (facts.frameMarker != 0xC2 && comps->lowestBit[c][0] != NOT_SENT) return IMG_ERR_BAD_FORMAT;
        for (uint8_t k = start; k <= end; ++k)
            if (low < comps->lowestBit[c][k]) comps->lowestBit[c][k] = low;
    }
    return IMG_OK;
}

// True when the scans sent every bit of every coefficient. Scans missing at the end (a
// progressive file cut after one of its scans, a component never sent) would leave part of the
// picture grey or blurred without the decoder saying a word.
bool everyCoefficientSent(const JpegFacts& facts, const FrameComponents& comps) {
    for (uint8_t c = 0; c < facts.components; ++c)
        for (uint8_t k = 0; k < 64; ++k)
            if (comps.lowestBit[c][k] != 0) return false;
    return true;
}

// 8 x 8 blocks the picture's components hold. Every block costs at least one bit of
// entropy-coded data (its DC code), so fewer bits than blocks means a file that announces a
// picture it does not contain; the decoder would spend its time on made-up blocks.
uint64_t blockCount(const JpegFacts& facts, const FrameComponents& comps) {
    uint32_t hMax = 1, vMax = 1;
    for (uint8_t c = 0; c < facts.components; ++c) {
        if (comps.h[c] > hMax) hMax = comps.h[c];
        if (comps.v[c] > vMax) vMax = comps.v[c];
    }
    uint64_t blocks = 0;
    for (uint8_t c = 0; c < facts.components; ++c) {
        uint64_t w = (uint64_t(facts.width) * comps.h[c] + hMax - 1) / hMax;
        uint64_t h = (uint64_t(facts.height) * comps.v[c] + vMax - 1) / vMax;
        blocks += ((w + 7) / 8) * ((h + 7) / 8);
    }
    return blocks;
}

}  // namespace

uint32_t pelsPerMeter(double dotsPerUnit, int unit) {
    double ppm = unit == 2 ? dotsPerUnit * 10000.0 / 254.0 : unit == 3 ? dotsPerUnit * 100.0 : 0.0;
    // Anything beyond 10^7 pixels a metre (a quarter million dpi) is not a resolution.
    if (!(ppm >= 0.5) || ppm > 1e7) return 0;
    return uint32_t(std::lround(ppm));
}

namespace {

// The walk behind both parsers. With `headersOnly` it ends at the first scan header, which the
// rest of a file of `fileSize` bytes must be able to follow with one bit a block.
uint16_t walkJpeg(const uint8_t* data, size_t size, bool headersOnly, uint64_t fileSize, JpegFacts* facts) {
    if (!facts || (!data && size)) return IMG_ERR_BAD_ARGUMENT;
    std::memset(facts, 0, sizeof *facts);
    facts->orientation = 1;
    if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8) return IMG_ERR_BAD_FORMAT;
    bool sawApp0 = false, sawExif = false, sawScan = false;
    uint32_t jfifX = 0, jfifY = 0;
    FrameComponents comps = {};
    uint8_t huffmanTables = 0;
    uint32_t scans = 0;
    uint64_t entropyBytes = 0;
    size_t at = 2;
    for (;;) {
        if (at >= size) return IMG_ERR_TRUNCATED;
        if (data[at] != 0xFF) return IMG_ERR_BAD_FORMAT;
        while (at < size && data[at] == 0xFF) ++at;  // fill bytes
        if (at >= size) return IMG_ERR_TRUNCATED;
        uint8_t marker = data[at++];
        if (marker == 0xD9) break;  // EOI
        if (marker == 0x00 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            return IMG_ERR_BAD_FORMAT;  // no segment may start with these here
        if (size - at < 2) return IMG_ERR_TRUNCATED;
        uint16_t length = be16(data + at);
        if (length < 2) return IMG_ERR_BAD_FORMAT;
        if (size - at < length) return IMG_ERR_TRUNCATED;
        const uint8_t* body = data + at + 2;
        size_t bodySize = length - 2u;
        at += length;
        if (marker == 0xE0 && !sawApp0) {
            sawApp0 = true;
            readJfif(body, bodySize, &jfifX, &jfifY);
        } else if (marker == 0xE1 && !sawExif && bodySize >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0) {
            sawExif = true;
            readExif(body + 6, bodySize - 6, facts);
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            uint16_t rc = readFrame(marker, body, bodySize, facts, &comps);
            if (rc != IMG_OK) return rc;
        } else if (marker == 0xC4) {
            uint16_t rc = checkHuffmanTables(body, bodySize, &huffmanTables);
            if (rc != IMG_OK) return rc;
        } else if (marker == 0xDB) {
            uint16_t rc = checkQuantisationTables(body, bodySize);
            if (rc != IMG_OK) return rc;
        } else if (marker == 0xDD) {
            if (bodySize != 2) return IMG_ERR_BAD_FORMAT;
        } else if (marker == 0xDA) {
            if (!facts->frameMarker) return IMG_ERR_BAD_FORMAT;  // a scan before its frame
            uint16_t rc = checkScanHeader(body, bodySize, *facts, comps, huffmanTables);
            if (rc == IMG_OK) rc = recordScan(body, *facts, &comps);
            if (rc != IMG_OK) return rc;
            // Each scan is a pass over the whole picture: thousands of tiny scans would keep
            // the decoder busy for minutes. Real progressive files have about ten.
            if (++scans > JPEG_MAX_SCANS) return IMG_ERR_BAD_FORMAT;
            sawScan = true;
            if (headersOnly) {
                if ((fileSize - at) * 8 < blockCount(*facts, comps)) return IMG_ERR_TRUNCATED;
                break;
            }
            // Entropy-coded data runs to the next marker that is neither a stuffed 0xFF00 nor
            // a restart marker.
            size_t scanStart = at;
            for (;;) {
                if (size - at < 2) return IMG_ERR_TRUNCATED;
                if (data[at] == 0xFF && data[at + 1] != 0x00 && !(data[at + 1] >= 0xD0 && data[at + 1] <= 0xD7) &&
                    data[at + 1] != 0xFF)
                    break;
                ++at;
            }
            entropyBytes += at - scanStart;
        }
    }
    if (!facts->frameMarker || !sawScan) return IMG_ERR_BAD_FORMAT;
    if (!headersOnly && entropyBytes * 8 < blockCount(*facts, comps)) return IMG_ERR_TRUNCATED;
    if (!headersOnly && !everyCoefficientSent(*facts, comps)) return IMG_ERR_CORRUPT;
    if (!facts->xPelsPerMeter) {  // Exif's resolution wins; JFIF's density is the fallback
        facts->xPelsPerMeter = jfifX;
        facts->yPelsPerMeter = jfifY;
    }
    return IMG_OK;
}

}  // namespace

uint16_t parseJpeg(const uint8_t* data, size_t size, JpegFacts* facts) {
    return walkJpeg(data, size, false, size, facts);
}

uint16_t parseJpegHeaders(const uint8_t* data, size_t size, uint64_t fileSize, JpegFacts* facts) {
    if (fileSize < size) return IMG_ERR_BAD_ARGUMENT;
    return walkJpeg(data, size, true, fileSize, facts);
}
