// libFuzzer target for the Exif parser and the whole decoding path behind it (libjpeg-turbo
// included): every input must give a code, never a crash, leak or hang.
#include <vector>

#include "vector_block.h"
#include "exif_decode.h"

namespace {

int stopSometimes(void* context, int code, int value) {
    return code == 16 && value == *static_cast<int*>(context) ? -1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int stopAt = data[0] >> 1;  // 0-127: beyond 100 never stops
    const uint8_t* jpeg = data + 1;
    size_t jpegSize = size - 1;
    JpegFacts facts;
    VectorBlock picture, thumb;
    if (data[0] & 1) {
        // The head-only path too, as if the input were the first half of a longer file.
        VectorBlock head;
        exifDecodeHeadThumbnail(jpeg, jpegSize / 2, jpegSize, BlockAllocator{&head, VectorBlock::allocate}, &facts);
        exifDecodeThumbnail(jpeg, jpegSize, BlockAllocator{&thumb, VectorBlock::allocate}, &facts);
    } else {
        exifDecodePicture(jpeg, jpegSize, BlockAllocator{&picture, VectorBlock::allocate},
                          ProgressSink{&stopAt, stopSometimes}, &facts);
    }
    return 0;
}
