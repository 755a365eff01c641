// The two transfers: native (the whole bitmap handle to the application) and memory (the
// bitmap copied out in strips of at most 16 rows, then freed). Every picture is acquired on
// demand inside a transfer call; a memory transfer acquires the next picture inside the call
// that delivers the last strip of the previous one.
#include "twain/image_operations.h"

#include "camera/image_decoding.h"
#include "twain/announced_pictures.h"
#include "twain/transfer_cursor.h"
#include "win32/global_memory.h"

#include <algorithm>

#include <tmmintrin.h>

namespace {

const char NATIVE_FAILURE[] = "General failure in DAT_IMAGENATIVEXFER.  ";
const char MEMORY_FAILURE[] = "General failure in DAT_IMAGEMEMXFER.  ";

constexpr uint32_t STRIP_ROWS = 16;

enum class Mechanism { Native, Memory };

// What a transfer answers when the acquisition failed with `code` (reported as OK reports it):
// a cancel ends a native transfer and completes a memory transfer's picture; a camera that
// failed cancels the transfer, whose picture will not come.
ReturnCode acquisitionFailed(uint16_t code, Mechanism mechanism)
{
    switch (reportAcquisitionFailure(code)) {
    case AcquisitionFailure::Cancelled:
        return mechanism == Mechanism::Native ? ReturnCode::Cancel : ReturnCode::XferDone;
    case AcquisitionFailure::CameraFailed:
        return ReturnCode::Cancel;
    default:
        return ReturnCode::Failure;
    }
}

// No further picture will come: nothing is pending, and the source is back in state 5.
ReturnCode endTransfersAfter(ReturnCode result)
{
    pendingEnd();
    g_source.state = STATE_ENABLED;
    return result;
}

uint32_t pictureWidth()
{
    return static_cast<uint16_t>(g_transfer.picture.width);
}

uint32_t pictureHeight()
{
    return static_cast<uint16_t>(g_transfer.picture.height);
}

// One row of blue-green-red pixels as red-green-blue.
inline __attribute__((always_inline)) void swapRowOrder(BYTE* to, const BYTE* from, uint32_t width)
{
    for (uint32_t x = 0; x < width; ++x, from += 3, to += 3) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
    }
}

void copyRowPlain(BYTE* to, const BYTE* from, uint32_t width)
{
    swapRowOrder(to, from, width);
}

// Sixteen pixels (48 bytes, three registers) at a time with byte shuffles. A pixel's blue and red
// trade places, and five of the sixteen pixels straddle two registers, so each output register
// gathers its bytes from up to three input registers. The rest of the row goes the plain way.
__attribute__((target("ssse3"))) void copyRowShuffled(BYTE* to, const BYTE* from, uint32_t width)
{
    const char Z = char(0x80);  // a shuffle index that yields a zero byte
    // out0: pixels 0-4 from in0, and its last byte (pixel 5's red) from in1; and so on.
    const __m128i out0From0 = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, Z);
    const __m128i out0From1 = _mm_setr_epi8(Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, 1);
    const __m128i out1From0 = _mm_setr_epi8(Z, 15, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z);
    const __m128i out1From1 = _mm_setr_epi8(0, Z, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, Z, 15);
    const __m128i out1From2 = _mm_setr_epi8(Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, 0, Z);
    const __m128i out2From1 = _mm_setr_epi8(14, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z);
    const __m128i out2From2 = _mm_setr_epi8(Z, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16, from += 48, to += 48) {
        const __m128i in0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i in1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        const __m128i in2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
        const __m128i out0 = _mm_or_si128(_mm_shuffle_epi8(in0, out0From0), _mm_shuffle_epi8(in1, out0From1));
        const __m128i out1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in0, out1From0), _mm_shuffle_epi8(in1, out1From1)),
                                          _mm_shuffle_epi8(in2, out1From2));
        const __m128i out2 = _mm_or_si128(_mm_shuffle_epi8(in1, out2From1), _mm_shuffle_epi8(in2, out2From2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), out0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), out1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 32), out2);
    }
    swapRowOrder(to, from, width - x);
}

typedef void (*RowCopy)(BYTE* to, const BYTE* from, uint32_t width);

RowCopy rowCopy()
{
    static const RowCopy chosen = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") ? copyRowShuffled : copyRowPlain;
    }();
    return chosen;
}

// The next strip of the current bitmap into the application's buffer: compact rows of
// width x 3 bytes in red-green-blue order, top row first. The strip holds 16 rows, fewer at the
// end of the picture, and never more than the buffer takes. False when the buffer holds no row.
bool deliverStrip(TW_IMAGEMEMXFER& strip)
{
    const uint32_t width = pictureWidth();
    const uint32_t height = pictureHeight();
    const uint32_t bytesPerRow = width * 3;
    if (bytesPerRow == 0 || height == 0) return false;
    const uint32_t rowsDone = (width * height * 3 - g_transfer.bytesRemaining) / bytesPerRow;
    const uint32_t rowsLeft = height - rowsDone;
    if (!strip.Memory.TheMem) return false;
    const bool isHandle = (strip.Memory.Flags & TWMF_HANDLE) != 0;
    GlobalLockGuard<BYTE> handleMemory(isHandle ? static_cast<HGLOBAL>(strip.Memory.TheMem) : nullptr);
    BYTE* destination = isHandle ? handleMemory.get() : static_cast<BYTE*>(strip.Memory.TheMem);
    if (!destination) return false;
    // Nothing is written past the buffer: not past its stated length, nor past a handle's block.
    SIZE_T capacity = strip.Memory.Length;
    if (isHandle) capacity = std::min(capacity, handleMemory.size());
    const uint32_t rowsFit = static_cast<uint32_t>(std::min<SIZE_T>(capacity / bytesPerRow, STRIP_ROWS));
    const uint32_t rows = std::min({STRIP_ROWS, rowsLeft, rowsFit});
    if (rows == 0) return false;

    // Stored rows are padded to 4 bytes and run bottom-up: the next picture row is the one
    // before in memory.
    const uint32_t rowStep = dibRowBytes(width);
    const BYTE* source = g_transfer.nextRow;
    const RowCopy copyRow = rowCopy();
    for (uint32_t row = 0; row < rows; ++row) {
        copyRow(destination, source, width);
        destination += bytesPerRow;
        if (rowsDone + row + 1 < height) source -= rowStep;
    }
    g_transfer.nextRow = const_cast<BYTE*>(source);

    strip.Compression = TWCP_NONE;
    strip.BytesPerRow = bytesPerRow;
    strip.Columns = width;
    strip.Rows = rows;
    strip.XOffset = 0;
    strip.YOffset = rowsDone;
    strip.BytesWritten = rows * bytesPerRow;
    g_transfer.bytesRemaining -= rows * bytesPerRow;
    return true;
}

}  // namespace

ReturnCode nativeTransferOperation(const DispatchRecord& call)
{
    if (g_source.state != STATE_XFER_READY) return failWithReport(NATIVE_FAILURE, ConditionCode::SeqError);
    if (call.message != MSG_GET) return failWithReport(NATIVE_FAILURE, ConditionCode::BadProtocol);

    // The application's handle variable: 32 bits on 32-bit Windows (a TW_UINT32 in the 1.x
    // headers), pointer-sized on 64-bit Windows. TW_HANDLE is that width on both.
    auto* handle = static_cast<TW_HANDLE*>(call.data);
    if (!handle) return ReturnCode::Cancel;
    *handle = nullptr;
    // Only announced pictures are delivered: once the pending count is spent, pictures the user
    // selected since the announcement stay selected for the next OK, which announces them.
    if (pendingCount() <= 0) return ReturnCode::Cancel;
    // OK fetched the first picture already when memory transfer was the mechanism (chosen by this
    // application, or by an earlier one in the same process, since the choice lives as long as
    // the library): an application transferring natively gets that picture, never the one after.
    if (HGLOBAL held = takeHeldBitmap()) {
        *handle = held;
        return ReturnCode::XferDone;
    }
    HGLOBAL bitmap = nullptr;
    const uint16_t code = acquireNextAnnounced(&bitmap);
    if (code != 0) return acquisitionFailed(code, Mechanism::Native);
    // No picture left: nothing was handed over.
    if (!bitmap) {
        pendingEnd();
        return ReturnCode::Cancel;
    }
    // From here the bitmap is the application's; the source keeps no reference to it.
    *handle = bitmap;
    g_source.state = STATE_XFER_READY;
    return ReturnCode::XferDone;
}

ReturnCode memoryTransferOperation(const DispatchRecord& call)
{
    if (g_source.state != STATE_XFER_READY) return failWithReport(MEMORY_FAILURE, ConditionCode::SeqError);
    if (call.message != MSG_GET) return failWithReport(MEMORY_FAILURE, ConditionCode::BadProtocol);
    // Native transfer was negotiated, or the picture is already delivered: there are no rows.
    if (!g_transfer.heldBitmap || !g_transfer.nextRow)
        return failWithReport(MEMORY_FAILURE, ConditionCode::SeqError);

    auto& strip = *static_cast<TW_IMAGEMEMXFER*>(call.data);
    if (!deliverStrip(strip)) return failWithReport(MEMORY_FAILURE, ConditionCode::BadValue);

    ReturnCode result = ReturnCode::Success;
    if (g_transfer.bytesRemaining == 0) {
        releaseCurrentBitmap();
        g_transfer.bytesRemaining = pictureWidth() * pictureHeight() * 3;
        result = ReturnCode::XferDone;

        // The picture just finished was the last one announced (MSG_ENDXFER has not counted it
        // off yet): pictures selected since the announcement wait for the next OK.
        if (pendingCount() <= 1) {
            g_source.state = STATE_ENABLED;
            return result;
        }
        // The picture just finished is whole in the application's hands whatever happens to the
        // next one: a next picture that fails is told (box, condition code, the camera's
        // fallback) and ends the transfers, but this call still answers TWRC_XFERDONE, or the
        // application would throw the finished picture away.
        HGLOBAL next = nullptr;
        const uint16_t code = acquireNextAnnounced(&next);
        if (code != 0) {
            acquisitionFailed(code, Mechanism::Memory);
            return endTransfersAfter(result);
        }
        if (!next) {
            g_source.state = STATE_ENABLED;
            return result;
        }
        // A picture that cannot be kept locked for its strips: reported as OK reports it.
        if (!holdCurrentBitmap(next)) {
            reportPictureNotHeld();
            return endTransfersAfter(result);
        }
    }
    g_source.state = STATE_XFER_READY;
    return result;
}
