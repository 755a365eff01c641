#include "twain/transfer_cursor.h"

#include "twain/capabilities.h"
#include "win32/global_memory.h"

#include <cstdio>
#include <cstdlib>

TransferCursor g_transfer;

namespace {

int16_t g_pending;

}  // namespace

int16_t pendingCount()
{
    return g_pending;
}

void pendingAnnounce(uint16_t selected)
{
    g_pending = static_cast<int16_t>(selected > 0x7FFF ? 0x7FFF : selected);
}

void pendingEnd()
{
    g_pending = 0;
}

int16_t pendingCountOff()
{
    g_pending = g_pending > 1 ? static_cast<int16_t>(g_pending - 1) : 0;
    return g_pending;
}

void takePictureFacts(const PictureFacts& facts)
{
    g_transfer.picture = facts;
    g_transfer.bytesRemaining = static_cast<uint32_t>(facts.width) * static_cast<uint32_t>(facts.height) * 3;
    if (facts.units == PictureUnits::Centimetres) {
        setImageUnits(TWUN_CENTIMETERS);
        setImageResolution(floatToFix32(facts.xPerUnit), floatToFix32(facts.yPerUnit));
    } else {
        setImageUnits(TWUN_PIXELS);
    }
}

TW_FIX32 floatToFix32(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(value));
    long whole = std::strtol(text, nullptr, 10);
    // A resolution beyond the 16-bit whole part is no real one; keep it at the largest.
    if (whole > 32767) whole = 32767;
    if (whole < -32768) whole = -32768;
    return TW_FIX32{static_cast<TW_INT16>(whole), 0};
}

bool holdCurrentBitmap(HGLOBAL bitmap)
{
    const PictureFacts& picture = g_transfer.picture;
    bool usable = bitmapBlockUsable(bitmap);
    if (usable) {
        GlobalLockGuard<BITMAPINFOHEADER> block(bitmap);
        usable = block && block->biWidth == picture.width && block->biHeight == picture.height;
    }
    BYTE* locked = usable ? static_cast<BYTE*>(GlobalLock(bitmap)) : nullptr;
    if (!locked) {
        if (bitmap) GlobalFree(bitmap);
        return false;
    }
    g_transfer.heldBitmap = bitmap;
    // Rows are stored bottom-up and padded to 4 bytes: the top row is the last one in the block.
    const uint32_t rowBytes = dibRowBytes(static_cast<uint32_t>(picture.width));
    g_transfer.nextRow = locked + sizeof(BITMAPINFOHEADER) + (static_cast<uint32_t>(picture.height) - 1) * rowBytes;
    return true;
}

HGLOBAL takeHeldBitmap()
{
    HGLOBAL held = g_transfer.heldBitmap;
    if (!held) return nullptr;
    GlobalUnlock(held);
    g_transfer.heldBitmap = nullptr;
    g_transfer.nextRow = nullptr;
    g_transfer.bytesRemaining = 0;
    return held;
}

void releaseCurrentBitmap()
{
    if (!g_transfer.heldBitmap) return;
    GlobalUnlock(g_transfer.heldBitmap);
    GlobalFree(g_transfer.heldBitmap);
    g_transfer.heldBitmap = nullptr;
    g_transfer.nextRow = nullptr;
    g_transfer.bytesRemaining = 0;
}
