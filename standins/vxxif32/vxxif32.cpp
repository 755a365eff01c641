// VXXIF32.dll: thin Windows layer over the portable Exif decoder (exif_decode.cpp). It reads
// files and caller blocks, allocates the result blocks and adapts the progress hook.
#include <windows.h>

#include <cstring>
#include <vector>

#include "win32/maker/vxxif32.h"
#include "../common/win_block.h"
#include "exif_decode.h"
#include "result_codes.h"

// The data source reads these codes by the header's names; the cores return ImageResult.
static_assert(int(EXIF_ERR_NOT_FOUND) == int(IMG_ERR_NOT_FOUND) &&
                  int(EXIF_ERR_BAD_FORMAT) == int(IMG_ERR_BAD_FORMAT) &&
                  int(EXIF_ERR_TRUNCATED) == int(IMG_ERR_TRUNCATED) &&
                  int(EXIF_ERR_CORRUPT) == int(IMG_ERR_CORRUPT) &&
                  int(EXIF_ERR_TOO_LARGE) == int(IMG_ERR_TOO_LARGE) &&
                  int(EXIF_ERR_BAD_ARGUMENT) == int(IMG_ERR_BAD_ARGUMENT) &&
                  int(EXIF_ERR_UNSUPPORTED) == int(IMG_ERR_UNSUPPORTED) &&
                  int(DEC_ERR_NOMEMORY) == int(IMG_ERR_NO_MEMORY) &&
                  int(DEC_ERR_CANCELLED) == int(IMG_ERR_CANCELLED),
              "the header's codes are the cores' codes");

namespace {

int reportToHook(void* context, int code, int value) {
    const PROGRESS_HOOK* hook = static_cast<const PROGRESS_HOOK*>(context);
    return hook->callback(code, value, hook->userData);
}

uint16_t writeInfoBlock(const JpegFacts& facts, LockedBlock* extra) {
    uint8_t* p = extra->allocate(sizeof(EXIF_INFO) + facts.exifSize);
    if (!p) return IMG_ERR_NO_MEMORY;
    EXIF_INFO info;
    info.storedWidth = facts.width;
    info.storedHeight = facts.height;
    info.orientation = facts.orientation;
    info.flags = WORD((facts.exif ? EXIF_INFO_HAS_EXIF : 0) | (facts.thumbnail ? EXIF_INFO_HAS_THUMBNAIL : 0));
    info.exifBytes = DWORD(facts.exifSize);
    std::memcpy(p, &info, sizeof info);
    if (facts.exifSize) std::memcpy(p + sizeof info, facts.exif, facts.exifSize);
    return IMG_OK;
}

// Hands the bitmap and the info block to the caller's records.
uint16_t deliver(const JpegFacts& facts, LockedBlock* bitmap, EXIF_RESULT* result, WORD* orientation) {
    LockedBlock extra;
    uint16_t rc = writeInfoBlock(facts, &extra);
    if (rc != IMG_OK) return rc;
    if (orientation) *orientation = facts.orientation;
    result->bitmap = bitmap->handOver();
    result->extra = extra.handOver();
    return IMG_OK;
}

// Decodes `size` bytes in the mode the options ask for and fills the caller's records.
uint16_t decodeInto(const uint8_t* data, size_t size, EXIF_RESULT* result, WORD* orientation,
                    const EXIF_OPTIONS* options, const PROGRESS_HOOK* hook) {
    JpegFacts facts;
    LockedBlock bitmap;
    uint16_t rc;
    if (options->wholePicture == 1) {
        ProgressSink sink{const_cast<PROGRESS_HOOK*>(hook), hook && hook->callback ? reportToHook : nullptr};
        rc = exifDecodePicture(data, size, lockedBlockAllocator(&bitmap), sink, &facts);
    } else {
        rc = exifDecodeThumbnail(data, size, lockedBlockAllocator(&bitmap), &facts);
    }
    if (rc != IMG_OK) return rc;
    return deliver(facts, &bitmap, result, orientation);
}

uint16_t checkArguments(EXIF_RESULT* result, const EXIF_OPTIONS* options) {
    if (!result || !options) return IMG_ERR_BAD_ARGUMENT;
    result->bitmap = nullptr;
    result->extra = nullptr;
    if (options->wholePicture > 1) return IMG_ERR_BAD_ARGUMENT;
    return IMG_OK;
}

}  // namespace

// A file browser checks every file of a folder and shows thumbnails of many: both read only the
// start of the file, where the markers, the Exif block and its thumbnail are. Most heads fit in
// the first 16 KiB (a 160 x 120 thumbnail takes a few); a long Exif block (maker notes) needs up
// to 64 KiB; only longer heads make the whole file be read. Reading 16 KiB instead of 64 KiB per
// file makes entering a folder of 2000 pictures a quarter faster.
constexpr uint64_t HEAD_READS[] = {16 * 1024, 64 * 1024};

extern "C" DWORD WINAPI exifCheckFile(LPCSTR path, WORD* orientation) {
    std::vector<uint8_t> file;
    uint64_t fileSize = 0;
    JpegFacts facts;
    uint16_t rc = IMG_ERR_TRUNCATED;
    for (uint64_t head : {HEAD_READS[0], HEAD_READS[1], EXIF_MAX_FILE_SIZE}) {
        rc = readFileStart(path, head, &file, &fileSize);
        if (rc != IMG_OK) return rc;
        if (fileSize > EXIF_MAX_FILE_SIZE) return IMG_ERR_TOO_LARGE;
        rc = parseJpegHeaders(file.data(), file.size(), fileSize, &facts);
        // Truncated within the file: the segments before the first scan are longer than the head.
        if (rc != IMG_ERR_TRUNCATED || file.size() >= fileSize) break;
    }
    if (rc == IMG_OK && orientation) *orientation = facts.orientation;
    return rc;
}

extern "C" WORD WINAPI exifDecodeFile(LPCSTR path, EXIF_RESULT* result, WORD* orientation, EXIF_OPTIONS* options,
                                      PROGRESS_HOOK* hook) {
    uint16_t rc = checkArguments(result, options);
    if (rc != IMG_OK) return rc;
    std::vector<uint8_t> file;
    uint64_t fileSize = 0;
    if (options->wholePicture == 0) {
        // A thumbnail that is embedded in the head needs nothing more of the file.
        for (uint64_t head : HEAD_READS) {
            rc = readFileStart(path, head, &file, &fileSize);
            if (rc != IMG_OK) return rc;
            if (fileSize > EXIF_MAX_FILE_SIZE) return IMG_ERR_TOO_LARGE;
            JpegFacts facts;
            LockedBlock bitmap;
            if (exifDecodeHeadThumbnail(file.data(), file.size(), fileSize, lockedBlockAllocator(&bitmap), &facts) ==
                IMG_OK)
                return deliver(facts, &bitmap, result, orientation);
            if (file.size() >= fileSize) break;
        }
    }
    rc = readFileStart(path, EXIF_MAX_FILE_SIZE, &file, &fileSize);
    if (rc != IMG_OK) return rc;
    if (fileSize > EXIF_MAX_FILE_SIZE) return IMG_ERR_TOO_LARGE;
    return decodeInto(file.data(), file.size(), result, orientation, options, hook);
}

extern "C" WORD WINAPI exifDecodeMemory(HGLOBAL data, DWORD size, EXIF_RESULT* result, WORD* orientation,
                                        EXIF_OPTIONS* options, PROGRESS_HOOK* hook) {
    uint16_t rc = checkArguments(result, options);
    if (rc != IMG_OK) return rc;
    // The size travels beside the handle; never read past the real block.
    if (!data || GlobalSize(data) < size) return IMG_ERR_BAD_ARGUMENT;
    if (size > EXIF_MAX_FILE_SIZE) return IMG_ERR_TOO_LARGE;
    ReadLock lock(data);
    if (!lock.data) return IMG_ERR_BAD_ARGUMENT;
    return decodeInto(lock.data, size, result, orientation, options, hook);
}
