#include "picture_transfer.h"

#include "capability_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double fix32(TW_FIX32 value)
{
    return value.Whole + value.Frac / 65536.0;
}

double seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

LARGE_INTEGER now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter;
}

std::string resolutionText(LONG xPelsPerMeter, LONG yPelsPerMeter)
{
    if (xPelsPerMeter <= 0 || yPelsPerMeter <= 0) return "no resolution";
    char text[64];
    std::snprintf(text, sizeof text, "%.0f x %.0f dpi", xPelsPerMeter * 0.0254, yPelsPerMeter * 0.0254);
    return text;
}

uint32_t rowBytes(uint32_t width)
{
    return (width * 3 + 3) & ~3u;
}

// Checks a DIB the source handed over before anything reads it: a 24-bit header whose rows fit
// in the block.
bool dibUsable(const BYTE* dib, size_t size, BITMAPINFOHEADER* header)
{
    if (!dib || size < sizeof(BITMAPINFOHEADER)) return false;
    std::memcpy(header, dib, sizeof *header);
    if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biBitCount != 24 || header->biWidth <= 0 ||
        header->biHeight <= 0 || header->biCompression != BI_RGB)
        return false;
    const uint64_t needed = header->biSize + uint64_t(rowBytes(header->biWidth)) * uint64_t(header->biHeight);
    return needed <= size;
}

class Transfers {
public:
    explicit Transfers(TransferSession& s) : s_(s) {}

    void say(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        s_.say(text);
    }

    TW_UINT16 call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) { return s_.callSource(dg, dat, msg, data); }

    TW_UINT16 conditionCode()
    {
        TW_STATUS status{};
        if (call(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return TWCC_BUMMER;
        return status.ConditionCode;
    }

    void failed(const char* what, TW_UINT16 rc)
    {
        ++s_.failures;
        say("FAILED: %s: %s, condition %s.", what, returnCodeName(rc).c_str(), conditionCodeName(conditionCode()).c_str());
    }

    // The pending count after MSG_ENDXFER, or -1 when it failed.
    int endTransfer()
    {
        TW_PENDINGXFERS pending{};
        const TW_UINT16 rc = call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        if (rc != TWRC_SUCCESS) {
            failed("ending the transfer (MSG_ENDXFER)", rc);
            return -1;
        }
        return static_cast<TW_INT16>(pending.Count);
    }

    void reset()
    {
        TW_PENDINGXFERS pending{};
        call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    }

    std::string save(const BYTE* dib, size_t size)
    {
        if (s_.outputFolder.empty()) return std::string();
        char name[32];
        std::snprintf(name, sizeof name, "picture%02d.bmp", ++s_.saved);
        const std::string path = s_.outputFolder + "\\" + name;
        if (!writeBmpFile(path, dib, size)) {
            ++s_.failures;
            say("FAILED: could not write %s.", path.c_str());
            return std::string();
        }
        return path;
    }

    void report(int number, const BITMAPINFOHEADER& header, const char* mechanism, double elapsed,
                const std::string& path)
    {
        say("Picture %d: %ld x %ld pixels, %s, %s, %.3f s%s%s", number, header.biWidth, header.biHeight,
            resolutionText(header.biXPelsPerMeter, header.biYPelsPerMeter).c_str(), mechanism, elapsed,
            path.empty() ? "" : ", saved as ", path.c_str());
    }

    // False when the transfers have to stop.
    bool nativePicture(int number)
    {
        TW_HANDLE handle = nullptr;
        const LARGE_INTEGER start = now();
        const TW_UINT16 rc = call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        const double elapsed = seconds(start, now());
        if (rc == TWRC_CANCEL) {
            say("Picture %d: the source cancelled the transfer (condition %s).", number,
                conditionCodeName(conditionCode()).c_str());
            return false;
        }
        if (rc != TWRC_XFERDONE) {
            failed("native transfer (DAT_IMAGENATIVEXFER)", rc);
            return false;
        }
        // The bitmap is ours now: read it, save it, free it.
        HGLOBAL bitmap = handle;
        const BYTE* dib = static_cast<const BYTE*>(GlobalLock(bitmap));
        const size_t size = dib ? GlobalSize(bitmap) : 0;
        BITMAPINFOHEADER header{};
        bool usable = dibUsable(dib, size, &header);
        if (usable) report(number, header, "native transfer", elapsed, save(dib, size));
        else failed("the native transfer's bitmap is no 24-bit picture", rc);
        if (dib) GlobalUnlock(bitmap);
        GlobalFree(bitmap);
        return usable;
    }

    bool memoryPicture(int number)
    {
        TW_IMAGEINFO info{};
        TW_UINT16 rc = call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
        if (rc != TWRC_SUCCESS) {
            failed("image information (DAT_IMAGEINFO)", rc);
            return false;
        }
        TW_SETUPMEMXFER setup{};
        rc = call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
        if (rc != TWRC_SUCCESS) {
            failed("memory transfer set-up (DAT_SETUPMEMXFER)", rc);
            return false;
        }
        if (info.ImageWidth <= 0 || info.ImageLength <= 0 || info.ImageWidth > 65535 || info.ImageLength > 65535 ||
            setup.Preferred == 0 || setup.Preferred > 512u * 1024 * 1024) {
            failed("the source announced no usable picture size", rc);
            return false;
        }
        const uint32_t width = info.ImageWidth, height = info.ImageLength, compactRow = width * 3;
        std::vector<BYTE> buffer(setup.Preferred);
        // The picture as a DIB: rows bottom-up, blue-green-red, padded to 4 bytes.
        std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + size_t(rowBytes(width)) * height, 0);
        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biCompression = BI_RGB;
        header.biSizeImage = rowBytes(width) * height;
        // The resolution as reported, in pixels per metre; none when the source has none.
        if (fix32(info.XResolution) > 0 && fix32(info.YResolution) > 0) {
            header.biXPelsPerMeter = LONG(std::lround(fix32(info.XResolution) * 100));
            header.biYPelsPerMeter = LONG(std::lround(fix32(info.YResolution) * 100));
        }
        std::memcpy(dib.data(), &header, sizeof header);

        const LARGE_INTEGER start = now();
        uint32_t rowsReceived = 0;
        int strips = 0;
        for (;;) {
            TW_IMAGEMEMXFER strip{};
            strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
            rc = call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
            if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
                if (rc == TWRC_CANCEL) say("Picture %d: the source cancelled the transfer.", number);
                else failed("memory transfer (DAT_IMAGEMEMXFER)", rc);
                return false;
            }
            ++strips;
            if (strip.BytesPerRow != compactRow || strip.Columns != width || strip.YOffset != rowsReceived ||
                strip.Rows > height - rowsReceived || strip.BytesWritten != strip.Rows * compactRow ||
                strip.BytesWritten > buffer.size()) {
                failed("a strip does not fit the announced picture", rc);
                return false;
            }
            for (uint32_t row = 0; row < strip.Rows; ++row) {
                const BYTE* from = buffer.data() + size_t(row) * compactRow;
                BYTE* to = dib.data() + sizeof header + size_t(height - 1 - (rowsReceived + row)) * rowBytes(width);
                for (uint32_t x = 0; x < width; ++x) {
                    to[3 * x] = from[3 * x + 2];
                    to[3 * x + 1] = from[3 * x + 1];
                    to[3 * x + 2] = from[3 * x];
                }
            }
            rowsReceived += strip.Rows;
            if (rc == TWRC_XFERDONE) break;
        }
        const double elapsed = seconds(start, now());
        if (rowsReceived != height) {
            failed("the memory transfer ended before the last row", TWRC_XFERDONE);
            return false;
        }
        char mechanism[64];
        std::snprintf(mechanism, sizeof mechanism, "memory transfer in %d strip%s (buffer %u bytes)", strips,
                      strips == 1 ? "" : "s", unsigned(buffer.size()));
        report(number, header, mechanism, elapsed, save(dib.data(), dib.size()));
        return true;
    }

private:
    TransferSession& s_;
};

}  // namespace

bool writeBmpFile(const std::string& path, const void* dib, size_t size)
{
    BITMAPINFOHEADER header;
    if (size < sizeof header) return false;
    std::memcpy(&header, dib, sizeof header);
    const size_t pixels = size_t(rowBytes(header.biWidth)) * size_t(header.biHeight);
    if (header.biSize + pixels > size) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + header.biSize;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(dib, header.biSize + pixels, 1, out) == 1;
    return std::fclose(out) == 0 && written;
}

int transferPendingPictures(TransferSession& session)
{
    Transfers transfers(session);
    int arrived = 0;
    for (int number = 1;; ++number) {
        const bool ok = session.mechanism == Mechanism::Native ? transfers.nativePicture(number)
                                                               : transfers.memoryPicture(number);
        if (!ok) {
            // Whatever the source said, the application stops asking: the rest is dropped.
            if (transfers.endTransfer() > 0) transfers.reset();
            break;
        }
        ++arrived;
        const int left = transfers.endTransfer();
        if (left <= 0) break;
    }
    return arrived;
}
