#include "k4i_format.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "../common/camera_data.h"
#include "result_codes.h"

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(le16(p)) | uint32_t(le16(p + 2)) << 16; }
void putLe16(std::vector<uint8_t>* out, uint16_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}
void putLe32(std::vector<uint8_t>* out, uint32_t v) {
    putLe16(out, uint16_t(v));
    putLe16(out, uint16_t(v >> 16));
}

uint32_t crcOf(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        uInt chunk = size > (1u << 30) ? (1u << 30) : uInt(size);
        crc = crc32(crc, data, chunk);
        data += chunk;
        size -= chunk;
    }
    return uint32_t(crc);
}

// Inflates one zlib stream that must fill `out` exactly and use all of `in`.
uint16_t inflateExact(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    int rc = inflateInit(&z);
    if (rc != Z_OK) return rc == Z_MEM_ERROR ? IMG_ERR_NO_MEMORY : IMG_ERR_CORRUPT;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(inSize);
    z.next_out = out;
    z.avail_out = uInt(outSize);
    rc = inflate(&z, Z_FINISH);
    bool exact = rc == Z_STREAM_END && z.avail_out == 0 && z.avail_in == 0;
    inflateEnd(&z);
    if (rc == Z_MEM_ERROR) return IMG_ERR_NO_MEMORY;
    return exact ? IMG_OK : IMG_ERR_CORRUPT;
}

uint16_t deflateAll(const uint8_t* in, size_t inSize, std::vector<uint8_t>* out) {
    uLongf length = compressBound(uLong(inSize));
    size_t start = out->size();
    out->resize(start + length);
    if (compress2(out->data() + start, &length, in, uLong(inSize), Z_DEFAULT_COMPRESSION) != Z_OK) return IMG_ERR_NO_MEMORY;
    out->resize(start + length);
    return IMG_OK;
}

uint32_t rowsInStrip(const K4iHeader& h, uint32_t strip) {
    uint32_t first = strip * uint32_t(h.rowsPerStrip);
    return h.height - first < h.rowsPerStrip ? h.height - first : h.rowsPerStrip;
}

}  // namespace

uint16_t k4iReadHeader(const uint8_t* data, size_t available, uint64_t fileSize, K4iHeader* header) {
    if (!header || (!data && available)) return IMG_ERR_BAD_ARGUMENT;
    if (!data || available < 4 || std::memcmp(data, K4I_MAGIC, 4) != 0) return IMG_ERR_BAD_FORMAT;
    if (available < K4I_HEADER_SIZE) return IMG_ERR_TRUNCATED;
    K4iHeader h;
    h.version = le16(data + 4);
    h.kind = le16(data + 6);
    h.width = le32(data + 8);
    h.height = le32(data + 12);
    h.xPelsPerMeter = le32(data + 16);
    h.yPelsPerMeter = le32(data + 20);
    h.orientation = le16(data + 24);
    h.rowsPerStrip = le16(data + 26);
    h.stripCount = le32(data + 28);
    h.thumbWidth = le16(data + 32);
    h.thumbHeight = le16(data + 34);
    h.thumbBytes = le32(data + 36);
    h.thumbCrc = le32(data + 40);
    // A newer layout may move anything after the version, so it is refused before the CRC.
    if (h.version != K4I_VERSION) return IMG_ERR_UNSUPPORTED;
    if (le32(data + 44) != crcOf(data, 44)) return IMG_ERR_CORRUPT;
    if (h.kind != K4I_KIND_STILL && h.kind != K4I_KIND_OTHER) return IMG_ERR_BAD_FORMAT;
    if (h.width == 0 || h.height == 0) return IMG_ERR_BAD_FORMAT;
    if (!pictureSizeAllowed(h.width, h.height)) return IMG_ERR_TOO_LARGE;
    if (h.orientation < 1 || h.orientation > 8 || h.rowsPerStrip == 0) return IMG_ERR_BAD_FORMAT;
    if (h.stripCount != (h.height + h.rowsPerStrip - 1) / h.rowsPerStrip) return IMG_ERR_BAD_FORMAT;
    if (h.thumbWidth == 0 || h.thumbHeight == 0 || h.thumbWidth > K4I_THUMB_MAX_WIDTH ||
        h.thumbHeight > K4I_THUMB_MAX_HEIGHT)
        return IMG_ERR_BAD_FORMAT;
    if (h.thumbBytes == 0 || h.thumbBytes > compressBound(uLong(h.thumbWidth) * h.thumbHeight * 3))
        return IMG_ERR_BAD_FORMAT;
    if (fileSize > K4I_MAX_FILE_SIZE) return IMG_ERR_TOO_LARGE;
    if (fileSize < k4iStripDataOffset(h)) return IMG_ERR_TRUNCATED;
    *header = h;
    return IMG_OK;
}

uint16_t k4iCheckComplete(const uint8_t* data, size_t available, uint64_t fileSize, K4iHeader* header) {
    uint16_t rc = k4iReadHeader(data, available, fileSize, header);
    if (rc != IMG_OK) return rc;
    const K4iHeader& h = *header;
    if (available < k4iStripDataOffset(h)) return IMG_ERR_TRUNCATED;
    const uint8_t* table = data + k4iStripTableOffset(h);
    uint64_t total = 0;
    for (uint32_t s = 0; s < h.stripCount; ++s) {
        uint32_t bytes = le32(table + size_t(s) * K4I_STRIP_ENTRY_SIZE);
        uLong raw = uLong(rowsInStrip(h, s)) * h.width * 3;
        // A strip can never need more than deflate's worst case; more means a damaged table.
        if (bytes == 0 || bytes > compressBound(raw)) return IMG_ERR_CORRUPT;
        total += bytes;
    }
    if (fileSize - k4iStripDataOffset(h) < total) return IMG_ERR_TRUNCATED;
    return IMG_OK;
}

uint16_t k4iDecodeThumbnail(const uint8_t* data, size_t available, uint64_t fileSize, BlockAllocator allocator) {
    K4iHeader h;
    uint16_t rc = k4iReadHeader(data, available, fileSize, &h);
    if (rc != IMG_OK) return rc;
    if (available < K4I_HEADER_SIZE + uint64_t(h.thumbBytes)) return IMG_ERR_TRUNCATED;
    const uint8_t* packed = data + K4I_HEADER_SIZE;
    if (crcOf(packed, h.thumbBytes) != h.thumbCrc) return IMG_ERR_CORRUPT;
    try {
        std::vector<uint8_t> stored(size_t(h.thumbWidth) * h.thumbHeight * 3);
        rc = inflateExact(packed, h.thumbBytes, stored.data(), stored.size());
        if (rc != IMG_OK) return rc;
        bool swap = orientationSwapsAxes(h.orientation);
        uint32_t w = swap ? h.thumbHeight : h.thumbWidth, uh = swap ? h.thumbWidth : h.thumbHeight;
        std::vector<uint8_t> upright(stored.size());
        placeStoredRows(rgbPixels(upright.data(), w, uh), h.thumbWidth, h.thumbHeight, h.orientation, 0, h.thumbHeight,
                        stored.data());
        uint8_t* block = allocator.allocate(allocator.context, dibBlockSize(THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT));
        if (!block) return IMG_ERR_NO_MEMORY;
        writeDibHeader(block, THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, 0, 0);
        drawThumbnail(dibPixels(block), upright.data(), w, uh);
    } catch (const std::bad_alloc&) {
        return IMG_ERR_NO_MEMORY;
    }
    return IMG_OK;
}

uint16_t k4iDecodePicture(const uint8_t* data, size_t size, BlockAllocator allocator, ProgressSink progress) {
    K4iHeader h;
    uint16_t rc = k4iCheckComplete(data, size, size, &h);
    if (rc != IMG_OK) return rc;
    bool swap = orientationSwapsAxes(h.orientation);
    uint32_t width = swap ? h.height : h.width, height = swap ? h.width : h.height;
    uint32_t xPpm = swap ? h.yPelsPerMeter : h.xPelsPerMeter, yPpm = swap ? h.xPelsPerMeter : h.yPelsPerMeter;
    std::vector<uint8_t> strip;
    try {
        strip.resize(size_t(rowsInStrip(h, 0)) * h.width * 3);
    } catch (const std::bad_alloc&) {
        return IMG_ERR_NO_MEMORY;
    }
    uint8_t* block = allocator.allocate(allocator.context, dibBlockSize(width, height));
    if (!block) return IMG_ERR_NO_MEMORY;
    writeDibHeader(block, width, height, xPpm, yPpm);
    PixelView upright = dibPixels(block);

    ProgressRun run(progress);
    if (!run.begin()) return IMG_ERR_CANCELLED;
    const uint8_t* table = data + k4iStripTableOffset(h);
    const uint8_t* packed = data + k4iStripDataOffset(h);
    uint32_t row = 0;
    for (uint32_t s = 0; s < h.stripCount; ++s) {
        uint32_t bytes = le32(table + size_t(s) * K4I_STRIP_ENTRY_SIZE);
        uint32_t crc = le32(table + size_t(s) * K4I_STRIP_ENTRY_SIZE + 4);
        uint32_t rows = rowsInStrip(h, s);
        // The CRC is checked before zlib sees the bytes, so damage is named as such.
        if (crcOf(packed, bytes) != crc) return IMG_ERR_CORRUPT;
        rc = inflateExact(packed, bytes, strip.data(), size_t(rows) * h.width * 3);
        if (rc != IMG_OK) return rc;
        placeStoredRows(upright, h.width, h.height, h.orientation, row, rows, strip.data());
        packed += bytes;
        row += rows;
        if (!run.advance(row, h.height)) return IMG_ERR_CANCELLED;
    }
    return IMG_OK;
}

uint16_t k4iEncode(const K4iPicture& p, std::vector<uint8_t>* file) {
    if (!p.rgb || !file || (p.kind != K4I_KIND_STILL && p.kind != K4I_KIND_OTHER)) return IMG_ERR_BAD_ARGUMENT;
    if (p.orientation < 1 || p.orientation > 8 || p.rowsPerStrip == 0) return IMG_ERR_BAD_ARGUMENT;
    if (!pictureSizeAllowed(p.width, p.height)) return IMG_ERR_TOO_LARGE;
    try {
        uint32_t tw = 0, th = 0;
        fitInto(p.width, p.height, K4I_THUMB_MAX_WIDTH, K4I_THUMB_MAX_HEIGHT, &tw, &th);
        std::vector<uint8_t> thumb(size_t(tw) * th * 3);
        resampleInto(rgbPixels(thumb.data(), tw, th), 0, 0, tw, th, p.rgb, p.width, p.height);
        std::vector<uint8_t> packedThumb;
        if (deflateAll(thumb.data(), thumb.size(), &packedThumb) != IMG_OK) return IMG_ERR_NO_MEMORY;

        uint32_t stripCount = (p.height + p.rowsPerStrip - 1) / p.rowsPerStrip;
        std::vector<uint8_t> table, strips;
        for (uint32_t s = 0; s < stripCount; ++s) {
            uint32_t first = s * p.rowsPerStrip;
            uint32_t rows = p.height - first < p.rowsPerStrip ? p.height - first : p.rowsPerStrip;
            size_t start = strips.size();
            if (deflateAll(p.rgb + size_t(first) * p.width * 3, size_t(rows) * p.width * 3, &strips) != IMG_OK)
                return IMG_ERR_NO_MEMORY;
            putLe32(&table, uint32_t(strips.size() - start));
            putLe32(&table, crcOf(strips.data() + start, strips.size() - start));
        }

        file->clear();
        for (uint8_t c : K4I_MAGIC) file->push_back(c);
        putLe16(file, K4I_VERSION);
        putLe16(file, p.kind);
        putLe32(file, p.width);
        putLe32(file, p.height);
        putLe32(file, p.xPelsPerMeter);
        putLe32(file, p.yPelsPerMeter);
        putLe16(file, p.orientation);
        putLe16(file, p.rowsPerStrip);
        putLe32(file, stripCount);
        putLe16(file, uint16_t(tw));
        putLe16(file, uint16_t(th));
        putLe32(file, uint32_t(packedThumb.size()));
        putLe32(file, crcOf(packedThumb.data(), packedThumb.size()));
        putLe32(file, crcOf(file->data(), 44));
        file->insert(file->end(), packedThumb.begin(), packedThumb.end());
        file->insert(file->end(), table.begin(), table.end());
        file->insert(file->end(), strips.begin(), strips.end());
    } catch (const std::bad_alloc&) {
        return IMG_ERR_NO_MEMORY;
    }
    return IMG_OK;
}

uint16_t parseCameraData(const uint8_t* data, size_t size, CameraDataParts* parts) {
    if (!data || !parts) return IMG_ERR_BAD_ARGUMENT;
    std::memset(parts, 0, sizeof *parts);
    if (size < 4 || std::memcmp(data, CAMERA_DATA_MAGIC, 4) != 0) return IMG_ERR_BAD_FORMAT;
    if (size < CAMERA_DATA_HEADER_SIZE) return IMG_ERR_TRUNCATED;
    if (le16(data + 4) != CAMERA_DATA_VERSION) return IMG_ERR_UNSUPPORTED;
    uint16_t count = le16(data + 6);
    if (count > CAMERA_DATA_MAX_PARTS) return IMG_ERR_BAD_FORMAT;
    size_t at = CAMERA_DATA_HEADER_SIZE;
    for (uint16_t i = 0; i < count; ++i) {
        if (size - at < CAMERA_PART_HEADER_SIZE) return IMG_ERR_TRUNCATED;
        uint32_t kind = le32(data + at);
        uint32_t partSize = le32(data + at + 4);
        at += CAMERA_PART_HEADER_SIZE;
        if (kind < CAMERA_PART_K4I || kind > CAMERA_PART_REL || parts->part[kind]) return IMG_ERR_BAD_FORMAT;
        if (size - at < partSize) return IMG_ERR_TRUNCATED;
        parts->part[kind] = data + at;
        parts->size[kind] = partSize;
        at += partSize;
    }
    // Bytes nobody accounts for mean the sender and we disagree about the layout.
    if (at != size) return IMG_ERR_BAD_FORMAT;
    return IMG_OK;
}
