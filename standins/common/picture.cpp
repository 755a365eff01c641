#include "picture.h"

#include <cstring>

namespace {

void putLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void putLe32(uint8_t* p, uint32_t v) {
    putLe16(p, uint16_t(v));
    putLe16(p + 2, uint16_t(v >> 16));
}

uint8_t* pixelAt(const PixelView& view, uint32_t x, uint32_t y) {
    return view.top + ptrdiff_t(y) * view.rowStep + ptrdiff_t(x) * 3;
}

void putRgb(const PixelView& view, uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = pixelAt(view, x, y);
    p[0] = view.bgr ? b : r;
    p[1] = g;
    p[2] = view.bgr ? r : b;
}

}  // namespace

bool pictureSizeAllowed(uint32_t width, uint32_t height) {
    return width >= 1 && height >= 1 && width <= PICTURE_MAX_SIDE && height <= PICTURE_MAX_SIDE &&
           uint64_t(width) * height <= PICTURE_MAX_PIXELS;
}

uint32_t dibStride(uint32_t width) { return (width * 3 + 3) & ~3u; }

size_t dibBlockSize(uint32_t width, uint32_t height) {
    if (!pictureSizeAllowed(width, height)) return 0;
    return DIB_HEADER_SIZE + size_t(dibStride(width)) * height;
}

void writeDibHeader(uint8_t* block, uint32_t width, uint32_t height, uint32_t xPelsPerMeter, uint32_t yPelsPerMeter) {
    std::memset(block, 0, DIB_HEADER_SIZE);
    putLe32(block + 0, DIB_HEADER_SIZE);           // biSize
    putLe32(block + 4, width);                      // biWidth
    putLe32(block + 8, height);                     // biHeight > 0: bottom-up
    putLe16(block + 12, 1);                         // biPlanes
    putLe16(block + 14, 24);                        // biBitCount
    putLe32(block + 16, 0);                         // biCompression = BI_RGB
    putLe32(block + 20, dibStride(width) * height);  // biSizeImage
    putLe32(block + 24, xPelsPerMeter);
    putLe32(block + 28, yPelsPerMeter);
    // biClrUsed, biClrImportant stay 0: no colour table.
}

int normalOrientation(int orientation) { return orientation >= 1 && orientation <= 8 ? orientation : 1; }

bool orientationSwapsAxes(int orientation) { return normalOrientation(orientation) >= 5; }

PixelView dibPixels(uint8_t* block) {
    uint32_t width = uint32_t(block[4]) | uint32_t(block[5]) << 8 | uint32_t(block[6]) << 16 | uint32_t(block[7]) << 24;
    uint32_t height = uint32_t(block[8]) | uint32_t(block[9]) << 8 | uint32_t(block[10]) << 16 | uint32_t(block[11]) << 24;
    uint32_t stride = dibStride(width);
    uint8_t* pixels = block + DIB_HEADER_SIZE;
    // The first row in the block is the picture's bottom row.
    return PixelView{pixels + size_t(stride) * (height - 1), width, height, -ptrdiff_t(stride), true};
}

PixelView rgbPixels(uint8_t* rgb, uint32_t width, uint32_t height) {
    return PixelView{rgb, width, height, ptrdiff_t(width) * 3, false};
}

void placeStoredRows(const PixelView& upright, uint32_t storedWidth, uint32_t storedHeight, int orientation,
                     uint32_t firstRow, uint32_t rowCount, const uint8_t* rgb) {
    const uint32_t w = storedWidth, h = storedHeight;
    orientation = normalOrientation(orientation);
    for (uint32_t y = firstRow; y < firstRow + rowCount; ++y) {
        const uint8_t* src = rgb + size_t(y - firstRow) * w * 3;
        if (orientation == 1) {
            // The common case: one row maps to one row.
            uint8_t* dst = pixelAt(upright, 0, y);
            if (!upright.bgr) {
                std::memcpy(dst, src, size_t(w) * 3);
                continue;
            }
            for (uint32_t x = 0; x < w; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            continue;
        }
        for (uint32_t x = 0; x < w; ++x, src += 3) {
            // Where stored pixel (x, y) appears once the picture is upright (Exif orientation tag).
            uint32_t u = x, v = y;
            switch (orientation) {
            case 2: u = w - 1 - x; v = y; break;          // mirrored left-right
            case 3: u = w - 1 - x; v = h - 1 - y; break;  // turned half round
            case 4: u = x; v = h - 1 - y; break;          // mirrored top-bottom
            case 5: u = y; v = x; break;                  // mirrored along the main diagonal
            case 6: u = h - 1 - y; v = x; break;          // needs a quarter turn clockwise
            case 7: u = h - 1 - y; v = w - 1 - x; break;  // mirrored along the other diagonal
            case 8: u = y; v = w - 1 - x; break;          // needs a quarter turn anticlockwise
            }
            putRgb(upright, u, v, src[0], src[1], src[2]);
        }
    }
}

void resampleInto(const PixelView& dst, uint32_t x, uint32_t y, uint32_t w, uint32_t h, const uint8_t* srcRgb,
                  uint32_t srcWidth, uint32_t srcHeight) {
    for (uint32_t j = 0; j < h; ++j) {
        // Source rows [y0, y1) cover destination row j; at least one row when enlarging.
        uint32_t y0 = uint32_t(uint64_t(j) * srcHeight / h);
        uint32_t y1 = uint32_t(uint64_t(j + 1) * srcHeight / h);
        if (y1 <= y0) y1 = y0 + 1;
        for (uint32_t i = 0; i < w; ++i) {
            uint32_t x0 = uint32_t(uint64_t(i) * srcWidth / w);
            uint32_t x1 = uint32_t(uint64_t(i + 1) * srcWidth / w);
            if (x1 <= x0) x1 = x0 + 1;
            uint64_t sum[3] = {0, 0, 0};
            for (uint32_t sy = y0; sy < y1; ++sy) {
                const uint8_t* p = srcRgb + (size_t(sy) * srcWidth + x0) * 3;
                for (uint32_t sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            uint64_t n = uint64_t(y1 - y0) * (x1 - x0);
            putRgb(dst, x + i, y + j, uint8_t((sum[0] + n / 2) / n), uint8_t((sum[1] + n / 2) / n),
                   uint8_t((sum[2] + n / 2) / n));
        }
    }
}

void fitInto(uint32_t width, uint32_t height, uint32_t maxWidth, uint32_t maxHeight, uint32_t* fitWidth,
             uint32_t* fitHeight) {
    // Compare the aspect ratios exactly: width/height >= maxWidth/maxHeight means width limits.
    if (uint64_t(width) * maxHeight >= uint64_t(height) * maxWidth) {
        *fitWidth = maxWidth;
        *fitHeight = uint32_t((uint64_t(height) * maxWidth + width / 2) / width);
    } else {
        *fitHeight = maxHeight;
        *fitWidth = uint32_t((uint64_t(width) * maxHeight + height / 2) / height);
    }
    if (*fitWidth < 1) *fitWidth = 1;
    if (*fitHeight < 1) *fitHeight = 1;
}

void drawThumbnail(const PixelView& thumb, const uint8_t* uprightRgb, uint32_t width, uint32_t height) {
    for (uint32_t y = 0; y < thumb.height; ++y) std::memset(pixelAt(thumb, 0, y), 0, size_t(thumb.width) * 3);
    uint32_t w = 0, h = 0;
    fitInto(width, height, thumb.width, thumb.height, &w, &h);
    resampleInto(thumb, (thumb.width - w) / 2, (thumb.height - h) / 2, w, h, uprightRgb, width, height);
}
