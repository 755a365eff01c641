// The two transfers: native (the whole bitmap handle to the application) and memory (the
// bitmap copied out in strips of at most 16 rows, then freed). Every picture is acquired on
// demand inside a transfer call; a memory transfer acquires the next picture inside the call
// that delivers the last strip of the previous one.
#include "image_operations.h"

#include "control_operations.h"
#include "global_memory.h"
#include "../camera/acquisition.h"
#include "../camera/image_decoding.h"
#include "../camera/maker_common.h"
#include "../camera_window/camera_window.h"

#include <algorithm>

namespace {

const char NATIVE_FAILURE[]      = "General failure in DAT_IMAGENATIVEXFER.  ";
const char MEMORY_FAILURE[]      = "General failure in DAT_IMAGEMEMXFER.  ";
const char NO_MEMORY_FAILURE[]   = "Insufficient memory.  ";
const char FILE_READ_FAILURE[]   = "File read error.  ";

constexpr uint32_t STRIP_ROWS = 16;

enum class Mechanism { Native, Memory };

bool cancelledByUser(uint16_t code)
{
    return code == DEC_ERR_CANCELLED || code == CAM_ERR_CANCELLED;
}

// What a transfer answers when the acquisition failed with `code`.
ReturnCode acquisitionFailed(uint16_t code, Mechanism mechanism)
{
    g_source.conditionCode = ConditionCode::OperationError;
    if (code == DEC_ERR_NOMEMORY || code == DEC_ERR_NOMEMORY2)
        return failWithReport(NO_MEMORY_FAILURE, ConditionCode::LowMemory);
    // The user pressed Cancel in the progress dialog: a quiet stop.
    if (cancelledByUser(code)) return mechanism == Mechanism::Native ? ReturnCode::Cancel : ReturnCode::XferDone;
    if (g_source.transferOrigin != ORIGIN_CAMERA_WINDOW)
        return failWithReport(FILE_READ_FAILURE, ConditionCode::OperationError);
    // The camera failed with its link open: the box, the link closed, the option page.
    fallBackClosingCamera(code);
    g_source.conditionCode = ConditionCode::OperationError;
    return ReturnCode::Cancel;
}

uint32_t pictureWidth()
{
    return static_cast<uint16_t>(g_source.imageHeader.biWidth);
}

uint32_t pictureHeight()
{
    return static_cast<uint16_t>(g_source.imageHeader.biHeight);
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

// The same loop, which the compiler turns into byte shuffles of 16 bytes at a time where the
// processor has them: it keeps the memory transfer near the speed of a plain copy.
__attribute__((target("ssse3"))) void copyRowShuffled(BYTE* to, const BYTE* from, uint32_t width)
{
    swapRowOrder(to, from, width);
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
    const uint32_t rowsDone = (width * height * 3 - g_source.bytesRemaining) / bytesPerRow;
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
    const BYTE* source = g_source.nextRow;
    const RowCopy copyRow = rowCopy();
    for (uint32_t row = 0; row < rows; ++row) {
        copyRow(destination, source, width);
        destination += bytesPerRow;
        if (rowsDone + row + 1 < height) source -= rowStep;
    }
    g_source.nextRow = const_cast<BYTE*>(source);

    strip.Compression = TWCP_NONE;
    strip.BytesPerRow = bytesPerRow;
    strip.Columns = width;
    strip.Rows = rows;
    strip.XOffset = 0;
    strip.YOffset = rowsDone;
    strip.BytesWritten = rows * bytesPerRow;
    g_source.bytesRemaining -= rows * bytesPerRow;
    return true;
}

}  // namespace

ReturnCode nativeTransferOperation(const DispatchRecord& call)
{
    if (g_source.state != STATE_XFER_READY) return failWithReport(NATIVE_FAILURE, ConditionCode::SeqError);
    if (call.message != MSG_GET) return failWithReport(NATIVE_FAILURE, ConditionCode::BadProtocol);

    auto* handle = static_cast<TW_UINT32*>(call.data);
    *handle = 0;
    HGLOBAL bitmap = nullptr;
    const uint16_t code = acquireNext(&bitmap);
    if (code != 0) return acquisitionFailed(code, Mechanism::Native);
    // No picture left: nothing was handed over.
    if (!bitmap) {
        g_source.pendingCount = 0;
        return ReturnCode::Cancel;
    }
    // From here the bitmap is the application's; the source keeps no reference to it.
    *handle = reinterpret_cast<TW_UINT32>(bitmap);
    g_source.state = STATE_XFER_READY;
    return ReturnCode::XferDone;
}

ReturnCode memoryTransferOperation(const DispatchRecord& call)
{
    if (g_source.state != STATE_XFER_READY) return failWithReport(MEMORY_FAILURE, ConditionCode::SeqError);
    if (call.message != MSG_GET) return failWithReport(MEMORY_FAILURE, ConditionCode::BadProtocol);
    // Native transfer was negotiated, or the picture is already delivered: there are no rows.
    if (!g_source.currentBitmap || !g_source.nextRow)
        return failWithReport(MEMORY_FAILURE, ConditionCode::SeqError);

    auto& strip = *static_cast<TW_IMAGEMEMXFER*>(call.data);
    if (!deliverStrip(strip)) return failWithReport(MEMORY_FAILURE, ConditionCode::BadValue);

    ReturnCode result = ReturnCode::Success;
    if (g_source.bytesRemaining == 0) {
        releaseCurrentBitmap();
        g_source.bytesRemaining = pictureWidth() * pictureHeight() * 3;
        result = ReturnCode::XferDone;

        HGLOBAL next = nullptr;
        const uint16_t code = acquireNext(&next);
        if (code != 0) return acquisitionFailed(code, Mechanism::Memory);
        if (!next) {
            g_source.state = STATE_ENABLED;
            return result;
        }
        // A picture that cannot be kept locked for its strips: reported as OK reports it.
        if (!holdCurrentBitmap(next)) return failWithReport(NO_MEMORY_FAILURE, ConditionCode::LowMemory);
    }
    g_source.state = STATE_XFER_READY;
    return result;
}
