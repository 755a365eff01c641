// The portable K4I reader and writer, run natively under AddressSanitizer: the reader against
// files from the independent Python writer, the C++ writer against the reader, and damaged
// files against the codes the data source relies on.
#include <gtest/gtest.h>

#include <cstring>
#include <zlib.h>

#include "vector_block.h"
#include "../../../standins/common/camera_data.h"
#include "k4i_format.h"
#include "picture_checks.h"
#include "result_codes.h"

namespace {

int recordProgress(void* context, int code, int value) { return static_cast<ProgressLog*>(context)->record(code, value); }

uint16_t decode(const std::vector<uint8_t>& file, VectorBlock* block, ProgressLog* log = nullptr) {
    ProgressSink sink{log, log ? recordProgress : nullptr};
    return k4iDecodePicture(file.data(), file.size(), block->allocator(), sink);
}

void putLe32(std::vector<uint8_t>* f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*f)[at + i] = uint8_t(v >> (8 * i));
}
void resealHeader(std::vector<uint8_t>* f) { putLe32(f, 44, uint32_t(crc32(0, f->data(), 44))); }

TEST(K4iReader, DecodesPythonWrittenFilesExactlyAndUprightInEveryOrientation) {
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        std::vector<uint8_t> file = readSample("k4i_o" + std::to_string(o) + ".k4i");
        ASSERT_FALSE(file.empty());
        VectorBlock block;
        ASSERT_EQ(IMG_OK, decode(file, &block));
        DibFacts f = dibFacts(block.bytes.data());
        EXPECT_EQ(40u, f.headerSize);
        EXPECT_EQ(641, f.width);
        EXPECT_EQ(479, f.height);
        EXPECT_EQ(24, f.bitCount);
        EXPECT_EQ(1, f.planes);
        EXPECT_EQ(0u, f.compression);
        EXPECT_EQ(1924u * 479, f.sizeImage);  // 641 x 3 = 1923, padded to 1924
        EXPECT_EQ(40 + f.sizeImage, block.bytes.size());
        // 300 x 150 dpi as stored; a quarter turn swaps them with the axes.
        EXPECT_EQ(o >= 5 ? 5906 : 11811, f.xPelsPerMeter);
        EXPECT_EQ(o >= 5 ? 11811 : 5906, f.yPelsPerMeter);
        EXPECT_EQ(0, compareWithRgb(block.bytes.data(), referencePicture().data(), 641, 479).largest);
    }
}

TEST(K4iReader, ThumbnailIsUprightFittedAndCentred) {
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        std::vector<uint8_t> file = readSample("k4i_o" + std::to_string(o) + ".k4i");
        VectorBlock block;
        // Only the header and the thumbnail are needed: the DLL reads no more for the file browser.
        K4iHeader h;
        ASSERT_EQ(IMG_OK, k4iReadHeader(file.data(), file.size(), file.size(), &h));
        size_t prefix = K4I_HEADER_SIZE + h.thumbBytes;
        ASSERT_EQ(IMG_OK, k4iDecodeThumbnail(file.data(), prefix, file.size(), block.allocator()));
        DibFacts f = dibFacts(block.bytes.data());
        EXPECT_EQ(96, f.width);
        EXPECT_EQ(72, f.height);
        // 641 x 479 fits 96 x 72 exactly: no bars.
        EXPECT_TRUE(showsUprightQuadrants(block.bytes.data(), 0, 0, 96, 72));
    }
}

TEST(K4iWriter, RoundTripsOddSizesAndStripHeights) {
    struct Case {
        uint32_t width, height;
        uint16_t rowsPerStrip;
    } cases[] = {{1, 1, 16}, {17, 9, 16}, {3, 1000, 7}, {641, 479, 16}, {2, 3, 1}, {5, 40, 65535}, {161, 121, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        std::vector<uint8_t> pixels = patternPixels(c.width, c.height, c.width);
        K4iPicture picture{pixels.data(), c.width, c.height, K4I_KIND_STILL, 1, 1000, 2000, c.rowsPerStrip};
        std::vector<uint8_t> file;
        ASSERT_EQ(IMG_OK, k4iEncode(picture, &file));
        K4iHeader h;
        ASSERT_EQ(IMG_OK, k4iCheckComplete(file.data(), file.size(), file.size(), &h));
        EXPECT_LE(h.thumbWidth, 160);
        EXPECT_LE(h.thumbHeight, 120);
        VectorBlock block;
        ASSERT_EQ(IMG_OK, decode(file, &block));
        DibFacts f = dibFacts(block.bytes.data());
        EXPECT_EQ(1000, f.xPelsPerMeter);
        EXPECT_EQ(2000, f.yPelsPerMeter);
        EXPECT_EQ(0, compareWithRgb(block.bytes.data(), pixels.data(), c.width, c.height).largest);
    }
}

TEST(K4iWriter, RefusesWhatTheReaderWouldRefuse) {
    std::vector<uint8_t> pixels(3 * 4, 0);
    std::vector<uint8_t> file;
    EXPECT_EQ(IMG_ERR_BAD_ARGUMENT, k4iEncode(K4iPicture{pixels.data(), 2, 2, 3, 1, 0, 0, 16}, &file));
    EXPECT_EQ(IMG_ERR_BAD_ARGUMENT, k4iEncode(K4iPicture{pixels.data(), 2, 2, 1, 9, 0, 0, 16}, &file));
    EXPECT_EQ(IMG_ERR_BAD_ARGUMENT, k4iEncode(K4iPicture{pixels.data(), 2, 2, 1, 1, 0, 0, 0}, &file));
    EXPECT_EQ(IMG_ERR_TOO_LARGE, k4iEncode(K4iPicture{pixels.data(), 20000, 1, 1, 1, 0, 0, 16}, &file));
}

TEST(K4iProgress, ReportsBeginTensAndEndEvenForOneStrip) {
    for (const char* name : {"k4i_o1.k4i", "k4i_1x1.k4i", "k4i_17x9.k4i"}) {
        SCOPED_TRACE(name);
        ProgressLog log;
        VectorBlock block;
        ASSERT_EQ(IMG_OK, decode(readSample(name), &block, &log));
        EXPECT_EQ("", log.protocolProblem());
        EXPECT_GE(log.percentCount(), 11u);
        EXPECT_EQ(100, log.calls[log.calls.size() - 2].second);
        for (int ten = 0; ten <= 100; ten += 10) {
            bool seen = false;
            for (const auto& c : log.calls) seen = seen || (c.first == 16 && c.second == ten);
            EXPECT_TRUE(seen) << ten << "% missing";
        }
    }
}

TEST(K4iProgress, StopEndsTheDecodeWithCancelledAndStillSendsEnd) {
    std::vector<uint8_t> file = readSample("k4i_o1.k4i");
    for (size_t stopAt : {1u, 2u, 6u, 20u}) {
        SCOPED_TRACE("stop at call " + std::to_string(stopAt));
        ProgressLog log;
        log.stopAt = stopAt;
        VectorBlock block;
        EXPECT_EQ(IMG_ERR_CANCELLED, decode(file, &block, &log));
        // The stopping call is the last before end: no work is reported after a stop.
        ASSERT_EQ(stopAt + 1, log.calls.size());
        EXPECT_EQ(2, log.calls.back().first);
    }
}

TEST(K4iProgress, NoMemoryForTheBitmapGivesNoMemory) {
    BlockAllocator none{nullptr, [](void*, size_t) -> uint8_t* { return nullptr; }};
    std::vector<uint8_t> file = readSample("k4i_o1.k4i");
    EXPECT_EQ(IMG_ERR_NO_MEMORY, k4iDecodePicture(file.data(), file.size(), none, ProgressSink{nullptr, nullptr}));
    EXPECT_EQ(IMG_ERR_NO_MEMORY, k4iDecodeThumbnail(file.data(), file.size(), file.size(), none));
}

TEST(K4iDamage, HeaderFaultsGetTheirOwnCodes) {
    const std::vector<uint8_t> good = readSample("k4i_17x9.k4i");
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>*);
        uint16_t expected;
    } cases[] = {
        {"empty file", [](std::vector<uint8_t>* f) { f->clear(); }, IMG_ERR_BAD_FORMAT},
        {"other magic", [](std::vector<uint8_t>* f) { (*f)[0] = 'X'; }, IMG_ERR_BAD_FORMAT},
        {"header cut", [](std::vector<uint8_t>* f) { f->resize(30); }, IMG_ERR_TRUNCATED},
        {"strips cut short", [](std::vector<uint8_t>* f) { f->resize(f->size() - 300); }, IMG_ERR_TRUNCATED},
        {"last byte missing", [](std::vector<uint8_t>* f) { f->pop_back(); }, IMG_ERR_TRUNCATED},
        {"newer version", [](std::vector<uint8_t>* f) { (*f)[4] = 2; }, IMG_ERR_UNSUPPORTED},
        {"header byte flipped", [](std::vector<uint8_t>* f) { (*f)[9] ^= 1; }, IMG_ERR_CORRUPT},
        {"absurd width", [](std::vector<uint8_t>* f) { putLe32(f, 8, 100000); resealHeader(f); }, IMG_ERR_TOO_LARGE},
        {"zero height", [](std::vector<uint8_t>* f) { putLe32(f, 12, 0); resealHeader(f); }, IMG_ERR_BAD_FORMAT},
        {"strip count off", [](std::vector<uint8_t>* f) { putLe32(f, 28, 2); resealHeader(f); }, IMG_ERR_BAD_FORMAT},
        {"orientation 9", [](std::vector<uint8_t>* f) { (*f)[24] = 9; resealHeader(f); }, IMG_ERR_BAD_FORMAT},
        {"kind 0", [](std::vector<uint8_t>* f) { (*f)[6] = 0; resealHeader(f); }, IMG_ERR_BAD_FORMAT},
        {"huge thumbnail size", [](std::vector<uint8_t>* f) { putLe32(f, 36, 0x7FFFFFF0); resealHeader(f); },
         IMG_ERR_BAD_FORMAT},
        {"strip size beyond the file",
         [](std::vector<uint8_t>* f) {
             K4iHeader h;
             k4iReadHeader(f->data(), f->size(), f->size(), &h);
             putLe32(f, size_t(k4iStripTableOffset(h)), 400);
         },
         IMG_ERR_TRUNCATED},
        {"strip size beyond deflate's worst case",
         [](std::vector<uint8_t>* f) {
             K4iHeader h;
             k4iReadHeader(f->data(), f->size(), f->size(), &h);
             putLe32(f, size_t(k4iStripTableOffset(h)), 0x10000000);
         },
         IMG_ERR_CORRUPT},
        {"strip byte flipped", [](std::vector<uint8_t>* f) { f->back() ^= 0x40; }, IMG_ERR_CORRUPT},
        {"strip CRC wrong",
         [](std::vector<uint8_t>* f) {
             K4iHeader h;
             k4iReadHeader(f->data(), f->size(), f->size(), &h);
             (*f)[size_t(k4iStripTableOffset(h)) + 4] ^= 1;
         },
         IMG_ERR_CORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = good;
        c.damage(&file);
        VectorBlock block;
        ProgressLog log;
        EXPECT_EQ(c.expected, decode(file, &block, &log));
        // A decode that got as far as begin always ends.
        if (!log.calls.empty()) {
            EXPECT_EQ(2, log.calls.back().first);
        }
    }
}

TEST(K4iDamage, EveryTruncationIsRefusedAndADamagedThumbnailLeavesThePicture) {
    const std::vector<uint8_t> good = readSample("k4i_17x9.k4i");
    for (size_t length = 0; length < good.size(); ++length) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(length));
        VectorBlock block;
        uint16_t rc = decode(cut, &block);
        EXPECT_TRUE(rc == IMG_ERR_TRUNCATED || rc == IMG_ERR_BAD_FORMAT) << "length " << length << " gave " << rc;
    }
    std::vector<uint8_t> file = good;
    file[K4I_HEADER_SIZE + 3] ^= 0x10;
    VectorBlock thumb, picture;
    EXPECT_EQ(IMG_ERR_CORRUPT, k4iDecodeThumbnail(file.data(), file.size(), file.size(), thumb.allocator()));
    EXPECT_EQ(IMG_OK, decode(file, &picture));
}

TEST(CameraData, FindsThePartsAndRefusesInconsistentContainers) {
    std::vector<uint8_t> data = readSample("camera_data.k4cd");
    CameraDataParts parts;
    ASSERT_EQ(IMG_OK, parseCameraData(data.data(), data.size(), &parts));
    ASSERT_NE(nullptr, parts.part[CAMERA_PART_K4I]);
    K4iHeader h;
    EXPECT_EQ(IMG_OK, k4iCheckComplete(parts.part[CAMERA_PART_K4I], parts.size[CAMERA_PART_K4I], parts.size[CAMERA_PART_K4I], &h));
    EXPECT_EQ(std::string("K4S companion\r\n"),
              std::string(reinterpret_cast<const char*>(parts.part[CAMERA_PART_K4S]), parts.size[CAMERA_PART_K4S]));

    std::vector<uint8_t> noK4i = readSample("camera_data_nok4i.k4cd");
    ASSERT_EQ(IMG_OK, parseCameraData(noK4i.data(), noK4i.size(), &parts));
    EXPECT_EQ(nullptr, parts.part[CAMERA_PART_K4I]);

    auto container = [](std::vector<std::pair<uint32_t, std::string>> list, uint16_t count, uint16_t version) {
        std::vector<uint8_t> out = {'K', '4', 'C', 'D', uint8_t(version), 0, uint8_t(count), 0};
        for (auto& p : list) {
            for (int i = 0; i < 4; ++i) out.push_back(uint8_t(p.first >> (8 * i)));
            for (int i = 0; i < 4; ++i) out.push_back(uint8_t(p.second.size() >> (8 * i)));
            out.insert(out.end(), p.second.begin(), p.second.end());
        }
        return out;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint16_t expected;
    } cases[] = {
        {"other magic", {'K', '4', 'C', 'X', 1, 0, 0, 0}, IMG_ERR_BAD_FORMAT},
        {"short header", {'K', '4', 'C', 'D', 1}, IMG_ERR_TRUNCATED},
        {"version 2", container({}, 0, 2), IMG_ERR_UNSUPPORTED},
        {"four parts", container({{1, "a"}, {2, "b"}, {3, "c"}, {3, "d"}}, 4, 1), IMG_ERR_BAD_FORMAT},
        {"kind twice", container({{1, "a"}, {1, "b"}}, 2, 1), IMG_ERR_BAD_FORMAT},
        {"kind 4", container({{4, "a"}}, 1, 1), IMG_ERR_BAD_FORMAT},
        {"count beyond the parts", container({{1, "a"}}, 2, 1), IMG_ERR_TRUNCATED},
        {"bytes left over", container({{1, "a"}, {2, "b"}}, 1, 1), IMG_ERR_BAD_FORMAT},
        {"empty container", container({}, 0, 1), IMG_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, parseCameraData(c.bytes.data(), c.bytes.size(), &parts));
    }
    std::vector<uint8_t> oversized = container({{1, "abc"}}, 1, 1);
    oversized[12] = 0xFF;  // part size far beyond the block
    EXPECT_EQ(IMG_ERR_TRUNCATED, parseCameraData(oversized.data(), oversized.size(), &parts));
}

}  // namespace
