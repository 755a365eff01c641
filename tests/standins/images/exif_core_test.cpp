// The portable Exif parser and decoding path, run natively under AddressSanitizer: facts read
// from files of two independent writers (ours and exiftool), pixels against a direct decode of
// the same file, orientation against the upright reference, and hostile files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "vector_block.h"
#include "exif_decode.h"
#include "exif_parser.h"
#include "jpeg_decoder.h"
#include "jpeg_reference.h"
#include "picture_checks.h"
#include "result_codes.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb_image.h>

namespace {

int recordProgress(void* context, int code, int value) { return static_cast<ProgressLog*>(context)->record(code, value); }

uint16_t decode(const std::vector<uint8_t>& file, VectorBlock* block, ProgressLog* log = nullptr) {
    JpegFacts facts;
    return exifDecodePicture(file.data(), file.size(), block->allocator(), ProgressSink{log, log ? recordProgress : nullptr},
                             &facts);
}

uint16_t thumbnail(const std::vector<uint8_t>& file, VectorBlock* block) {
    JpegFacts facts;
    return exifDecodeThumbnail(file.data(), file.size(), block->allocator(), &facts);
}

// Offset of the little-endian TIFF block of one of our own samples.
size_t tiffOffset(const std::vector<uint8_t>& file) {
    for (size_t i = 0; i + 6 < file.size(); ++i)
        if (std::memcmp(&file[i], "Exif\0\0", 6) == 0) return i + 6;
    return 0;
}
uint32_t le32(const std::vector<uint8_t>& f, size_t at) {
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}
void putLe32(std::vector<uint8_t>* f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*f)[at + i] = uint8_t(v >> (8 * i));
}
// Offset of the entry for `tag` in the IFD at `ifd` (relative to the TIFF block).
size_t entryOffset(const std::vector<uint8_t>& f, size_t tiff, uint32_t ifd, uint16_t tag) {
    uint16_t count = uint16_t(f[tiff + ifd] | f[tiff + ifd + 1] << 8);
    for (uint16_t i = 0; i < count; ++i) {
        size_t e = tiff + ifd + 2 + size_t(i) * 12;
        if (uint16_t(f[e] | f[e + 1] << 8) == tag) return e;
    }
    return 0;
}
// Offset of the picture's first segment with one of the markers, found by walking the
// segments (the embedded thumbnail inside APP1 has segments of its own).
size_t segmentOffset(const std::vector<uint8_t>& f, uint8_t marker, uint8_t other = 0) {
    size_t at = 2;
    while (at + 4 <= f.size() && f[at] == 0xFF) {
        if (f[at + 1] == marker || (other && f[at + 1] == other)) return at;
        at += 2 + size_t(f[at + 2] << 8 | f[at + 3]);
    }
    return 0;
}
size_t frameHeaderOffset(const std::vector<uint8_t>& f) { return segmentOffset(f, 0xC0, 0xC2); }

TEST(ExifParser, ReadsSizeResolutionOrientationAndThumbnail) {
    struct Case {
        const char* file;
        uint32_t width, height;
        uint16_t orientation;
        uint32_t xPpm, yPpm;
        bool exif, thumb;
    } cases[] = {
        {"exif_o1.jpg", 641, 479, 1, 11811, 5906, true, true},
        {"exif_o6.jpg", 479, 641, 6, 11811, 5906, true, true},
        {"exif_o8.jpg", 479, 641, 8, 11811, 5906, true, true},
        {"exif_nores_thumb.jpg", 641, 479, 1, 0, 0, true, true},
        {"exif_res_nothumb.jpg", 641, 479, 1, 2835, 2835, true, false},
        {"exif_cm.jpg", 641, 479, 1, 4000, 4000, true, true},
        {"jfif_300dpi.jpg", 641, 479, 1, 11811, 11811, false, false},
        {"jfif_plain.jpg", 641, 479, 1, 0, 0, false, false},
        // exiftool writes big-endian Exif and also sets JFIF to 180 dots per cm: Exif's 180 dpi wins.
        {"exif_mm_exiftool.jpg", 479, 641, 6, 7087, 7087, true, true},
        {"odd_17x9.jpg", 17, 9, 1, 0, 0, false, false},
        {"progressive.jpg", 641, 479, 1, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> file = readSample(c.file);
        JpegFacts facts;
        ASSERT_EQ(IMG_OK, parseJpeg(file.data(), file.size(), &facts));
        EXPECT_EQ(c.width, facts.width);
        EXPECT_EQ(c.height, facts.height);
        EXPECT_EQ(c.orientation, facts.orientation);
        EXPECT_EQ(c.xPpm, facts.xPelsPerMeter);
        EXPECT_EQ(c.yPpm, facts.yPelsPerMeter);
        EXPECT_EQ(c.exif, facts.exif != nullptr);
        EXPECT_EQ(c.thumb, facts.thumbnail != nullptr);
    }
}

TEST(ExifParser, HeadersOnlyReadTheSameFactsFromTheFirst64KiB) {
    for (const char* name : {"exif_o1.jpg", "exif_o6.jpg", "exif_cm.jpg", "exif_mm_exiftool.jpg", "jfif_300dpi.jpg",
                             "progressive.jpg", "cmyk_adobe.jpg", "restart_rows.jpg", "exif_1600x1200.jpg",
                             "tiny_1x1.jpg"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = readSample(name);
        size_t head = file.size() < 65536 ? file.size() : 65536;
        JpegFacts whole, quick;
        ASSERT_EQ(IMG_OK, parseJpeg(file.data(), file.size(), &whole));
        ASSERT_EQ(IMG_OK, parseJpegHeaders(file.data(), head, file.size(), &quick));
        EXPECT_EQ(whole.width, quick.width);
        EXPECT_EQ(whole.height, quick.height);
        EXPECT_EQ(whole.orientation, quick.orientation);
        EXPECT_EQ(whole.xPelsPerMeter, quick.xPelsPerMeter);
        EXPECT_EQ(whole.yPelsPerMeter, quick.yPelsPerMeter);
        EXPECT_EQ(whole.exifSize, quick.exifSize);
        EXPECT_EQ(whole.thumbnailSize, quick.thumbnailSize);
    }
    // What only the whole file shows is left to the decode; what the head shows is refused alike.
    const std::vector<uint8_t> good = readSample("exif_o1.jpg");
    size_t sof = frameHeaderOffset(good);
    JpegFacts facts;
    EXPECT_EQ(IMG_ERR_TRUNCATED, parseJpeg(good.data(), good.size() / 2, &facts));
    EXPECT_EQ(IMG_OK, parseJpegHeaders(good.data(), good.size() / 2, good.size() / 2, &facts));
    EXPECT_EQ(IMG_ERR_TRUNCATED, parseJpegHeaders(good.data(), 200, good.size(), &facts)) << "head ends in Exif";
    std::vector<uint8_t> f = good;
    f[sof + 5] = 0x0F, f[sof + 6] = 0xA0, f[sof + 7] = 0x1F, f[sof + 8] = 0x40;  // 8000 x 4000 from 12 KB
    EXPECT_EQ(IMG_ERR_TRUNCATED, parseJpegHeaders(f.data(), f.size(), f.size(), &facts));
    f = good;
    f[sof + 4] = 12;
    EXPECT_EQ(IMG_ERR_UNSUPPORTED, parseJpegHeaders(f.data(), f.size(), f.size(), &facts));

    // A thumbnail from the head alone when the embedded one lies in it; else none.
    VectorBlock block;
    std::vector<uint8_t> marked = readSample("exif_marked_thumb.jpg");
    marked.resize(marked.size() + 100000);  // as if the scan data went on beyond the head
    ASSERT_EQ(IMG_OK, exifDecodeHeadThumbnail(marked.data(), 65536, marked.size(), block.allocator(), &facts));
    EXPECT_TRUE(closeTo(dibPixel(block.bytes.data(), 48, 36), 255, 0, 255, 8));
    std::vector<uint8_t> plain = readSample("exif_res_nothumb.jpg");
    EXPECT_NE(IMG_OK, exifDecodeHeadThumbnail(plain.data(), plain.size(), plain.size(), block.allocator(), &facts));
}

TEST(ExifParser, ConvertsResolutionsToPixelsPerMetre) {
    EXPECT_EQ(2835u, pelsPerMeter(72, 2));
    EXPECT_EQ(11811u, pelsPerMeter(300, 2));
    EXPECT_EQ(3937u, pelsPerMeter(100, 2));
    EXPECT_EQ(4000u, pelsPerMeter(40, 3));
    EXPECT_EQ(0u, pelsPerMeter(72, 1));  // no absolute unit
    EXPECT_EQ(0u, pelsPerMeter(0, 2));
    EXPECT_EQ(0u, pelsPerMeter(-5, 2));
    EXPECT_EQ(0u, pelsPerMeter(NAN, 2));
    EXPECT_EQ(0u, pelsPerMeter(4e9, 2));
}

TEST(ExifDecode, PixelsEqualADirectDecodeOfTheSameFile) {
    for (const char* name : {"exif_o1.jpg", "jfif_640x480.jpg", "odd_17x9.jpg", "tiny_1x1.jpg", "progressive.jpg",
                             "gray_33x20.jpg"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = readSample(name);
        int w = 0, h = 0;
        std::vector<uint8_t> direct = directDecode(file, &w, &h);
        ASSERT_FALSE(direct.empty());
        VectorBlock block;
        ASSERT_EQ(IMG_OK, decode(file, &block));
        DibFacts f = dibFacts(block.bytes.data());
        EXPECT_EQ(w, f.width);
        EXPECT_EQ(h, f.height);
        EXPECT_EQ((uint32_t(w) * 3 + 3) / 4 * 4 * uint32_t(h), f.sizeImage);
        EXPECT_EQ(40 + f.sizeImage, block.bytes.size());
        EXPECT_EQ(0, compareWithRgb(block.bytes.data(), direct.data(), uint32_t(w), uint32_t(h)).largest);
    }
}

TEST(ExifDecode, EveryOrientationComesOutUprightWithResolutionsFollowingTheAxes) {
    for (int o = 1; o <= 9; ++o) {
        std::string name = o <= 8 ? "exif_o" + std::to_string(o) + ".jpg" : "exif_mm_exiftool.jpg";
        SCOPED_TRACE(name);
        VectorBlock block;
        ASSERT_EQ(IMG_OK, decode(readSample(name), &block));
        DibFacts f = dibFacts(block.bytes.data());
        ASSERT_EQ(641, f.width);
        ASSERT_EQ(479, f.height);
        if (o <= 8) {
            EXPECT_EQ(o >= 5 ? 5906 : 11811, f.xPelsPerMeter);
            EXPECT_EQ(o >= 5 ? 11811 : 5906, f.yPelsPerMeter);
        }
        // Lossy, so close rather than equal; a wrong turn or mirror moves whole quadrants.
        Difference d = compareWithRgb(block.bytes.data(), referencePicture().data(), 641, 479);
        EXPECT_LT(d.mean, 2.0);
        EXPECT_TRUE(showsUprightQuadrants(block.bytes.data(), 0, 0, 641, 479));
    }
}

TEST(ExifThumbnail, UsesTheEmbeddedOneTurnedUprightElseScalesThePicture) {
    VectorBlock marked;
    ASSERT_EQ(IMG_OK, thumbnail(readSample("exif_marked_thumb.jpg"), &marked));
    EXPECT_EQ(96, dibFacts(marked.bytes.data()).width);
    EXPECT_EQ(72, dibFacts(marked.bytes.data()).height);
    EXPECT_TRUE(closeTo(dibPixel(marked.bytes.data(), 48, 36), 255, 0, 255, 8));

    for (const char* name : {"exif_o1.jpg", "exif_o3.jpg", "exif_o5.jpg", "exif_o6.jpg", "exif_o8.jpg",
                             "exif_res_nothumb.jpg", "exif_mm_exiftool.jpg", "jfif_plain.jpg"}) {
        SCOPED_TRACE(name);
        VectorBlock block;
        ASSERT_EQ(IMG_OK, thumbnail(readSample(name), &block));
        EXPECT_TRUE(showsUprightQuadrants(block.bytes.data(), 0, 0, 96, 72));
    }

    // 300 x 400 fits 96 x 72 as 54 x 72, centred between black bars.
    VectorBlock portrait;
    ASSERT_EQ(IMG_OK, thumbnail(readSample("portrait_300x400.jpg"), &portrait));
    EXPECT_TRUE(closeTo(dibPixel(portrait.bytes.data(), 5, 36), 0, 0, 0, 0));
    EXPECT_TRUE(closeTo(dibPixel(portrait.bytes.data(), 90, 36), 0, 0, 0, 0));
    EXPECT_TRUE(showsUprightQuadrants(portrait.bytes.data(), 21, 0, 54, 72));
}

TEST(ExifThumbnail, DamagedEmbeddedThumbnailFallsBackToThePicture) {
    std::vector<uint8_t> file = readSample("exif_marked_thumb.jpg");
    size_t tiff = tiffOffset(file);
    uint32_t ifd1 = le32(file, tiff + 4 + 0);
    ifd1 = le32(file, tiff + ifd1 + 2 + 12 * uint16_t(file[tiff + ifd1] | file[tiff + ifd1 + 1] << 8));
    size_t offsetEntry = entryOffset(file, tiff, ifd1, 0x0201);
    ASSERT_NE(0u, offsetEntry);
    uint32_t thumbAt = le32(file, offsetEntry + 8);
    // Keep SOI, wreck everything after it.
    for (size_t i = tiff + thumbAt + 2; i < tiff + thumbAt + 200; ++i) file[i] = 0x5A;
    VectorBlock block;
    ASSERT_EQ(IMG_OK, thumbnail(file, &block));
    EXPECT_TRUE(showsUprightQuadrants(block.bytes.data(), 0, 0, 96, 72));

    // An offset that points outside the Exif block: no thumbnail, same fallback.
    std::vector<uint8_t> far = readSample("exif_marked_thumb.jpg");
    putLe32(&far, offsetEntry + 8, 0xFFFFFF00u);
    JpegFacts facts;
    ASSERT_EQ(IMG_OK, parseJpeg(far.data(), far.size(), &facts));
    EXPECT_EQ(nullptr, facts.thumbnail);
    ASSERT_EQ(IMG_OK, thumbnail(far, &block));
    EXPECT_TRUE(showsUprightQuadrants(block.bytes.data(), 0, 0, 96, 72));
}

TEST(ExifDecode, BrokenExifLeavesAPlainPicture) {
    std::vector<uint8_t> file = readSample("exif_o6.jpg");
    size_t tiff = tiffOffset(file);
    putLe32(&file, tiff + 4, 0xFFFFFF00u);  // IFD0 far outside the block
    JpegFacts facts;
    ASSERT_EQ(IMG_OK, parseJpeg(file.data(), file.size(), &facts));
    EXPECT_EQ(1, facts.orientation);
    EXPECT_EQ(0u, facts.xPelsPerMeter);
    VectorBlock block;
    ASSERT_EQ(IMG_OK, decode(file, &block));
    EXPECT_EQ(479, dibFacts(block.bytes.data()).width);

    // A resolution whose value lies outside the block, and an IFD whose entry count runs off it.
    std::vector<uint8_t> res = readSample("exif_o1.jpg");
    tiff = tiffOffset(res);
    size_t xres = entryOffset(res, tiff, le32(res, tiff + 4), 0x011A);
    ASSERT_NE(0u, xres);
    putLe32(&res, xres + 8, 0x7FFFFFF0u);
    ASSERT_EQ(IMG_OK, parseJpeg(res.data(), res.size(), &facts));
    EXPECT_EQ(0u, facts.xPelsPerMeter);
    EXPECT_EQ(0u, facts.yPelsPerMeter);
    res[tiff + le32(res, tiff + 4)] = 0xFF;
    res[tiff + le32(res, tiff + 4) + 1] = 0xFF;
    ASSERT_EQ(IMG_OK, parseJpeg(res.data(), res.size(), &facts));
    EXPECT_EQ(1, facts.orientation);
}

TEST(ExifDecode, HostileAndDamagedFilesGetClearCodes) {
    const std::vector<uint8_t> good = readSample("exif_o1.jpg");
    size_t sof = frameHeaderOffset(good);
    ASSERT_NE(0u, sof);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint16_t expected;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, IMG_ERR_BAD_FORMAT});
    cases.push_back({"not a JPEG", {'G', 'I', 'F', '8', '9', 'a'}, IMG_ERR_BAD_FORMAT});
    cases.push_back({"SOI only", {0xFF, 0xD8}, IMG_ERR_TRUNCATED});
    std::vector<uint8_t> f = good;
    f[sof + 5] = 0xFF, f[sof + 6] = 0xF0, f[sof + 7] = 0xFF, f[sof + 8] = 0xF0;  // 65520 x 65520
    cases.push_back({"absurd dimensions", f, IMG_ERR_TOO_LARGE});
    f = good;
    f[sof + 5] = 0x20, f[sof + 6] = 0x00, f[sof + 7] = 0x20, f[sof + 8] = 0x00;  // 8192 x 8192: 64 Mpixels
    cases.push_back({"too many pixels", f, IMG_ERR_TOO_LARGE});
    f = good;
    f[sof + 5] = 0x0F, f[sof + 6] = 0xA0, f[sof + 7] = 0x1F, f[sof + 8] = 0x40;  // 8000 x 4000 from 12 KB
    cases.push_back({"picture far larger than its data", f, IMG_ERR_TRUNCATED});
    f = good;
    f[sof + 5] = 0, f[sof + 6] = 0;
    cases.push_back({"height from a DNL marker", f, IMG_ERR_UNSUPPORTED});
    f = good;
    f[sof + 1] = 0xC9;
    cases.push_back({"arithmetic coding", f, IMG_ERR_UNSUPPORTED});
    f[sof + 1] = 0xC3;
    cases.push_back({"lossless", f, IMG_ERR_UNSUPPORTED});
    f = good;
    f[sof + 4] = 12;
    cases.push_back({"12-bit samples", f, IMG_ERR_UNSUPPORTED});
    f = good;
    f[sof + 11] = 0x55;  // first component's sampling factors 5 x 5
    cases.push_back({"bad sampling factors", f, IMG_ERR_BAD_FORMAT});
    // Two tables stb_image trusts (the fuzzer found it writing and reading past them).
    size_t dht = segmentOffset(good, 0xC4), sos = segmentOffset(good, 0xDA);
    ASSERT_NE(0u, dht);
    ASSERT_NE(0u, sos);
    f = good;
    f[dht + 5 + 15] = 0xFF;  // 255 more codes of length 16: past 256 symbols and past 2^16 codes
    cases.push_back({"Huffman table with too many codes", f, IMG_ERR_BAD_FORMAT});
    f = good;
    f[sos + 6] = 0x33;  // first component decoded with DC and AC tables 3, never defined
    cases.push_back({"scan using undefined tables", f, IMG_ERR_BAD_FORMAT});
    f = good;
    f[sof + 2] = 0xFF;  // frame header length past the end
    cases.push_back({"segment beyond the file", f, IMG_ERR_TRUNCATED});
    f = good;
    f[sof + 2] = 0, f[sof + 3] = 1;
    cases.push_back({"segment length 1", f, IMG_ERR_BAD_FORMAT});
    f = good;
    f.resize(f.size() - 2);
    cases.push_back({"end marker missing", f, IMG_ERR_TRUNCATED});
    f = good;
    f.resize(f.size() / 2);
    cases.push_back({"cut in the scan", f, IMG_ERR_TRUNCATED});
    f = good;
    f.resize(sof + 6);
    cases.push_back({"cut in the frame header", f, IMG_ERR_TRUNCATED});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VectorBlock block;
        ProgressLog log;
        EXPECT_EQ(c.expected, decode(c.bytes, &block, &log));
        EXPECT_TRUE(block.bytes.empty()) << "no bitmap for a refused file";
        VectorBlock thumb;
        EXPECT_EQ(c.expected, thumbnail(c.bytes, &thumb));
    }
    // Every cut is refused; none crashes (the sanitizers watch).
    for (size_t length = 0; length < good.size(); length += 97) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(length));
        VectorBlock block;
        EXPECT_NE(IMG_OK, decode(cut, &block)) << "length " << length;
    }
}

// The entropy-coded data of each scan, in file order: [first, second) byte ranges.
std::vector<std::pair<size_t, size_t>> scanData(const std::vector<uint8_t>& f) {
    std::vector<std::pair<size_t, size_t>> scans;
    for (size_t at = 2; at + 4 <= f.size() && f[at] == 0xFF && f[at + 1] != 0xD9;) {
        size_t next = at + 2 + size_t(f[at + 2] << 8 | f[at + 3]);
        if (f[at + 1] == 0xDA) {
            at = next;
            while (!(f[next] == 0xFF && f[next + 1] != 0 && (f[next + 1] & 0xF8) != 0xD0)) ++next;
            scans.push_back({at, next});
        }
        at = next;
    }
    return scans;
}
// 16 stuffed 0xFF bytes (128 one bits: no Huffman code) over scan `scan`, `percent` of the way in.
void oneBits(std::vector<uint8_t>* f, size_t scan, size_t percent) {
    auto [first, end] = scanData(*f).at(scan);
    size_t at = first + (end - first - 32) * percent / 100;
    for (size_t i = 0; i < 32; i += 2) (*f)[at + i] = 0xFF, (*f)[at + i + 1] = 0;
}
void setFrameSize(std::vector<uint8_t>* f, uint16_t width, uint16_t height) {
    size_t sof = frameHeaderOffset(*f);
    (*f)[sof + 5] = uint8_t(height >> 8), (*f)[sof + 6] = uint8_t(height);
    (*f)[sof + 7] = uint8_t(width >> 8), (*f)[sof + 8] = uint8_t(width);
}
// The file cut before scan `scan`'s header and closed with EOI.
void dropScansFrom(std::vector<uint8_t>* f, size_t scan) {
    size_t header = scanData(*f).at(scan).first;
    while (!((*f)[header] == 0xFF && (*f)[header + 1] == 0xDA)) --header;
    f->resize(header);
    f->insert(f->end(), {0xFF, 0xD9});
}

// libjpeg-turbo decodes most of a file in memory with its fast Huffman decoder, the rest (the
// last few KB, restart intervals, progressive scans) with its careful one: damage must be
// refused wherever it lies, by whole pictures and reduced-scale thumbnails alike. So must scan
// data that disagrees with the frame header, or scans missing from the file.
TEST(ExifDamage, DamagedScanDataIsRefusedWhereverItLies) {
    using Damage = void (*)(std::vector<uint8_t>*);
    // None has an embedded thumbnail: thumbnails too are decoded from the scans.
    const char *baseline = "exif_res_nothumb.jpg", *restarts = "restart_rows.jpg", *apart = "components_apart.jpg",
               *progressive = "progressive.jpg";
    struct Case {
        const char* what;
        const char* file;
        Damage damage;
        uint16_t expected;
    } cases[] = {
        {"start of the scan", baseline, [](auto f) { oneBits(f, 0, 0); }, IMG_ERR_CORRUPT},
        {"middle of the scan", baseline, [](auto f) { oneBits(f, 0, 50); }, IMG_ERR_CORRUPT},
        {"end of the scan", baseline, [](auto f) { oneBits(f, 0, 100); }, IMG_ERR_CORRUPT},
        {"inside a restart interval", restarts, [](auto f) { oneBits(f, 0, 50); }, IMG_ERR_CORRUPT},
        {"luminance scan", apart, [](auto f) { oneBits(f, 0, 50); }, IMG_ERR_CORRUPT},
        {"blue chroma scan", apart, [](auto f) { oneBits(f, 1, 50); }, IMG_ERR_CORRUPT},
        {"red chroma scan", apart, [](auto f) { oneBits(f, 2, 50); }, IMG_ERR_CORRUPT},
        {"progressive DC scan", progressive, [](auto f) { oneBits(f, 0, 50); }, IMG_ERR_CORRUPT},
        {"progressive chroma AC scan", progressive, [](auto f) { oneBits(f, 3, 50); }, IMG_ERR_CORRUPT},
        {"progressive last refinement", progressive, [](auto f) { oneBits(f, 9, 100); }, IMG_ERR_CORRUPT},
        {"frame lower than its data", baseline, [](auto f) { setFrameSize(f, 641, 240); }, IMG_ERR_CORRUPT},
        {"frame narrower than its data", baseline, [](auto f) { setFrameSize(f, 320, 479); }, IMG_ERR_CORRUPT},
        {"restart intervals beyond the frame", restarts, [](auto f) { setFrameSize(f, 641, 240); }, IMG_ERR_CORRUPT},
        {"progressive without its last scan", progressive, [](auto f) { dropScansFrom(f, 9); }, IMG_ERR_CORRUPT},
        {"progressive without its refinements", progressive, [](auto f) { dropScansFrom(f, 6); }, IMG_ERR_CORRUPT},
        {"component never sent", apart, [](auto f) { dropScansFrom(f, 2); }, IMG_ERR_CORRUPT},
        {"component sent twice", apart,
         [](auto f) { (*f)[scanData(*f)[2].first - 5] = (*f)[scanData(*f)[1].first - 5]; },  // scan 3 names scan 2's
         IMG_ERR_BAD_FORMAT},
        {"a few bytes of padding after the scan", baseline,
         [](auto f) { f->insert(f->end() - 2, 6, uint8_t(0)); }, IMG_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = readSample(c.file);
        c.damage(&file);
        VectorBlock block, thumb;
        EXPECT_EQ(c.expected, decode(file, &block));
        EXPECT_EQ(c.expected, thumbnail(file, &thumb));
    }
}

// The upright picture in a bitmap block as top-down RGB rows.
std::vector<uint8_t> uprightRgb(const uint8_t* block) {
    DibFacts f = dibFacts(block);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            Rgb c = dibPixel(block, uint32_t(x), uint32_t(y));
            rgb.insert(rgb.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
        }
    return rgb;
}

TEST(ExifDecoderShapes, EveryShapeDecodesUprightAgreesWithStbAndThumbnailsFromTheReducedScale) {
    struct Case {
        const char* file;
        int stbTolerance;  // largest difference from stb_image's decode; -1: not compared (turned)
    } cases[] = {
        {"exif_o1.jpg", 3},        {"progressive.jpg", 3}, {"restart_rows.jpg", 3},
        {"cmyk_adobe.jpg", 3},     {"gray_33x20.jpg", 3},  {"progressive_o6.jpg", -1},
        {"exif_1600x1200.jpg", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> file = readSample(c.file);
        VectorBlock block;
        ASSERT_EQ(IMG_OK, decode(file, &block));
        DibFacts f = dibFacts(block.bytes.data());
        if (f.width == 641 || f.width == 1600) EXPECT_TRUE(showsUprightQuadrants(block.bytes.data(), 0, 0, f.width, f.height));
        if (c.stbTolerance >= 0) {
            int w = 0, h = 0, n = 0;
            stbi_uc* independent = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 3);
            ASSERT_NE(nullptr, independent);
            ASSERT_EQ(w, f.width);
            EXPECT_LE(compareWithRgb(block.bytes.data(), independent, uint32_t(w), uint32_t(h)).largest, c.stbTolerance);
            stbi_image_free(independent);
        }
        // The thumbnail decoded at a reduced scale looks like one drawn from the whole picture.
        VectorBlock thumb;
        ASSERT_EQ(IMG_OK, thumbnail(file, &thumb));
        std::vector<uint8_t> whole = uprightRgb(block.bytes.data());
        std::vector<uint8_t> expected(dibBlockSize(96, 72));
        writeDibHeader(expected.data(), 96, 72, 0, 0);
        drawThumbnail(dibPixels(expected.data()), whole.data(), uint32_t(f.width), uint32_t(f.height));
        Difference d = compareWithRgb(thumb.bytes.data(), uprightRgb(expected.data()).data(), 96, 72);
        EXPECT_LT(d.mean, 2.0);
    }
}

// What the decoder itself does with sizes, damage and limits, each case on the decoder alone.
struct SinkLog {
    uint32_t width = 0, height = 0, rows = 0, progressCalls = 0;
    uint32_t stopAtProgress = 0;  // 0: never stop
};
JpegRowSink loggingSink(SinkLog* log) {
    return JpegRowSink{
        log,
        [](void* c, uint32_t, uint32_t, uint32_t w, uint32_t h) -> uint16_t {
            static_cast<SinkLog*>(c)->width = w;
            static_cast<SinkLog*>(c)->height = h;
            return IMG_OK;
        },
        [](void* c, uint32_t, uint32_t count, const uint8_t*) { static_cast<SinkLog*>(c)->rows += count; },
        nullptr,
        [](void* c, uint64_t, uint64_t) {
            SinkLog* log = static_cast<SinkLog*>(c);
            return ++log->progressCalls != log->stopAtProgress;
        }};
}

TEST(JpegDecoder, ScalesLimitsAndDamageGiveTheirSizesAndCodes) {
    const std::vector<uint8_t> baseline = readSample("exif_o1.jpg");
    size_t sos = segmentOffset(baseline, 0xDA);
    ASSERT_NE(0u, sos);
    size_t scan = sos + 2 + size_t(baseline[sos + 2] << 8 | baseline[sos + 3]);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t coverWidth, coverHeight;
        size_t memoryLimit;
        uint32_t stopAtProgress;
        uint16_t expected;
        uint32_t width, height;  // of the rows delivered, when expected is OK
    };
    std::vector<Case> cases;
    const size_t noLimit = JpegDecodeOptions().memoryLimit;
    // The smallest of 1/8, 1/4, 1/2 that still covers the cell, else the whole picture.
    cases.push_back({"1/8 of 1600 x 1200", readSample("exif_1600x1200.jpg"), 96, 72, noLimit, 0, IMG_OK, 200, 150});
    cases.push_back({"1/4 of 641 x 479", baseline, 96, 72, noLimit, 0, IMG_OK, 161, 120});
    cases.push_back({"1/4 of a portrait", readSample("portrait_300x400.jpg"), 54, 72, noLimit, 0, IMG_OK, 75, 100});
    cases.push_back({"1/2 of a picture just too small for 1/4", baseline, 161, 121, noLimit, 0, IMG_OK, 321, 240});
    cases.push_back({"whole when even 1/2 is too small", readSample("odd_17x9.jpg"), 96, 72, noLimit, 0, IMG_OK, 17, 9});
    cases.push_back({"whole without a cell", baseline, 0, 0, noLimit, 0, IMG_OK, 641, 479});
    // A progressive picture keeps every coefficient; a baseline one needs a few rows only.
    cases.push_back({"progressive beyond the memory limit", readSample("progressive.jpg"), 0, 0, 64 * 1024, 0,
                     IMG_ERR_NO_MEMORY, 0, 0});
    cases.push_back({"baseline within a small limit", baseline, 0, 0, 64 * 1024, 0, IMG_OK, 641, 479});
    cases.push_back({"stop while the scans are read", readSample("progressive.jpg"), 0, 0, noLimit, 2,
                     IMG_ERR_CANCELLED, 0, 0});
    cases.push_back({"stop between rows", baseline, 0, 0, noLimit, 5, IMG_ERR_CANCELLED, 0, 0});
    std::vector<uint8_t> f = baseline;
    for (size_t i = scan + 2000; i < scan + 2100; i += 2) f[i] = 0xFF, f[i + 1] = 0x00;  // all-ones: no code
    cases.push_back({"bad Huffman code", f, 0, 0, noLimit, 0, IMG_ERR_CORRUPT, 0, 0});
    f.assign(baseline.begin(), baseline.begin() + long(scan + (baseline.size() - scan) * 6 / 10));
    f.insert(f.end(), {0xFF, 0xD9});
    cases.push_back({"scan ends before its blocks", f, 0, 0, noLimit, 0, IMG_ERR_CORRUPT, 0, 0});
    f = readSample("restart_rows.jpg");
    for (size_t i = 0; i + 1 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] == 0xD0) {
            f[i + 1] = 0xD3;
            break;
        }
    cases.push_back({"restart marker out of sequence", f, 0, 0, noLimit, 0, IMG_ERR_CORRUPT, 0, 0});
    cases.push_back({"127 scans, parser bypassed", readSample("many_scans.jpg"), 0, 0, noLimit, 0, IMG_ERR_BAD_FORMAT,
                     0, 0});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JpegDecodeOptions options;
        options.coverWidth = c.coverWidth;
        options.coverHeight = c.coverHeight;
        options.memoryLimit = c.memoryLimit;
        SinkLog log;
        log.stopAtProgress = c.stopAtProgress;
        ASSERT_EQ(c.expected, jpegDecode(c.bytes.data(), c.bytes.size(), options, loggingSink(&log)));
        if (c.expected != IMG_OK) continue;
        EXPECT_EQ(c.width, log.width);
        EXPECT_EQ(c.height, log.height);
        EXPECT_EQ(c.height, log.rows);
    }
    // Through the whole path the damaged files are refused the same way, with no bitmap.
    VectorBlock block;
    EXPECT_EQ(IMG_ERR_CORRUPT, decode(cases[10].bytes, &block));
    EXPECT_EQ(IMG_ERR_CORRUPT, thumbnail(cases[12].bytes, &block));
}

TEST(ExifParser, BoundsTheNumberOfScans) {
    // Extra DC refinement scans (they need no table) appended to a progressive file.
    auto withExtraScans = [](size_t extra) {
        std::vector<uint8_t> f = readSample("progressive.jpg");
        f.resize(f.size() - 2);  // EOI
        const uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x0C, 3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 0, 0x10, 0x00};
        for (size_t i = 0; i < extra; ++i) f.insert(f.end(), scan, scan + sizeof scan);
        f.push_back(0xFF);
        f.push_back(0xD9);
        return f;
    };
    JpegFacts facts;
    std::vector<uint8_t> some = withExtraScans(5), many = withExtraScans(JPEG_MAX_SCANS);
    EXPECT_EQ(IMG_OK, parseJpeg(some.data(), some.size(), &facts));
    EXPECT_EQ(IMG_ERR_BAD_FORMAT, parseJpeg(many.data(), many.size(), &facts));
}

TEST(ExifProgress, NoMemoryForTheBitmapGivesNoMemoryAndStillEnds) {
    BlockAllocator none{nullptr, [](void*, size_t) -> uint8_t* { return nullptr; }};
    std::vector<uint8_t> file = readSample("exif_o1.jpg");
    ProgressLog log;
    JpegFacts facts;
    EXPECT_EQ(IMG_ERR_NO_MEMORY, exifDecodePicture(file.data(), file.size(), none, ProgressSink{&log, recordProgress}, &facts));
    EXPECT_EQ(2, log.calls.back().first);
    EXPECT_EQ(IMG_ERR_NO_MEMORY, exifDecodeThumbnail(file.data(), file.size(), none, &facts));
}

TEST(ExifProgress, ReportsTheProtocolAndStopsOnRequest) {
    std::vector<uint8_t> file = readSample("exif_o6.jpg");
    ProgressLog log;
    VectorBlock block;
    ASSERT_EQ(IMG_OK, decode(file, &block, &log));
    EXPECT_EQ("", log.protocolProblem());
    EXPECT_GE(log.percentCount(), 11u);
    EXPECT_EQ(100, log.calls[log.calls.size() - 2].second);

    for (size_t stopAt : {1u, 3u, 8u, 13u}) {
        SCOPED_TRACE("stop at call " + std::to_string(stopAt));
        ProgressLog stopping;
        stopping.stopAt = stopAt;
        VectorBlock b;
        EXPECT_EQ(IMG_ERR_CANCELLED, decode(file, &b, &stopping));
        ASSERT_EQ(stopAt + 1, stopping.calls.size());
        EXPECT_EQ(2, stopping.calls.back().first);
    }
}

}  // namespace
