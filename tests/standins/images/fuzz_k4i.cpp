// libFuzzer target for the K4I reader and the camera-data container: every input must give a
// code, never a crash, leak or hang. Half the inputs get their CRCs recomputed first, so the
// fuzzer also reaches zlib and the row placement behind the checksums.
#include <zlib.h>

#include <cstring>
#include <vector>

#include "vector_block.h"
#include "k4i_format.h"

namespace {

int stopSometimes(void* context, int code, int value) {
    // Stop at the percentage the input picked, to run the cancel path as well.
    return code == 16 && value == *static_cast<int*>(context) ? -1 : 0;
}

void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void resealChecksums(std::vector<uint8_t>* f) {
    if (f->size() < K4I_HEADER_SIZE) return;
    uint8_t* d = f->data();
    putLe32(d + 44, uint32_t(crc32(0, d, 44)));
    K4iHeader h;
    if (k4iReadHeader(d, f->size(), f->size(), &h) != 0) return;
    putLe32(d + 40, uint32_t(crc32(0, d + K4I_HEADER_SIZE, h.thumbBytes)));
    putLe32(d + 44, uint32_t(crc32(0, d, 44)));
    size_t table = size_t(k4iStripTableOffset(h)), at = size_t(k4iStripDataOffset(h));
    for (uint32_t s = 0; s < h.stripCount; ++s) {
        uint32_t bytes = le32(d + table + 8 * s);
        if (bytes > f->size() - at) return;
        putLe32(d + table + 8 * s + 4, uint32_t(crc32(0, d + at, bytes)));
        at += bytes;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> file(data + 1, data + size);
    if (data[0] & 1) resealChecksums(&file);
    int stopAt = data[0] >> 1;  // 0-127: beyond 100 never stops

    K4iHeader header;
    k4iCheckComplete(file.data(), file.size(), file.size(), &header);
    VectorBlock thumb, picture;
    k4iDecodeThumbnail(file.data(), file.size(), file.size(), BlockAllocator{&thumb, VectorBlock::allocate});
    k4iDecodePicture(file.data(), file.size(), BlockAllocator{&picture, VectorBlock::allocate},
                     ProgressSink{&stopAt, stopSometimes});

    CameraDataParts parts;
    if (parseCameraData(file.data(), file.size(), &parts) == 0 && parts.part[1]) {
        k4iCheckComplete(parts.part[1], parts.size[1], parts.size[1], &header);
    }
    return 0;
}
