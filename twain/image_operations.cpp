#include "twain/image_operations.h"

#include "twain/capabilities.h"
#include "twain/transfer_cursor.h"

namespace {

const char TRANSFER_FAILURE[]  = "General failure in transfer.  ";
const char IMAGEINFO_FAILURE[] = "General failure in DAT_IMAGEINFO.  ";

// Before any picture is known, memory transfer assumes a 768 x 576 picture.
constexpr TW_INT32 ASSUMED_WIDTH = 768;
constexpr TW_INT32 ASSUMED_HEIGHT = 576;

}  // namespace

ReturnCode imageInfoOperation(const DispatchRecord& call)
{
    if (g_source.state != STATE_XFER_READY) return failWithReport(TRANSFER_FAILURE, ConditionCode::SeqError);
    if (call.message != MSG_GET) return failWithReport(TRANSFER_FAILURE, ConditionCode::BadProtocol);
    // Information is given once per pending image.
    if (static_cast<uint16_t>(pendingCount()) == g_transfer.imageInfoMarker)
        return failWithReport(TRANSFER_FAILURE, ConditionCode::LowMemory);
    g_transfer.imageInfoMarker = static_cast<uint16_t>(pendingCount());

    auto* info = static_cast<TW_IMAGEINFO*>(call.data);
    const PictureFacts& picture = g_transfer.picture;
    if (picture.units == PictureUnits::Centimetres) {
        info->XResolution = currentXResolution();
        info->YResolution = currentYResolution();
    } else {
        info->XResolution = TW_FIX32{-1, 0};
        info->YResolution = TW_FIX32{-1, 0};
    }
    if (memoryTransferSelected()) {
        const bool known = picture.width != 0 && picture.height != 0;
        info->ImageWidth = known ? picture.width : ASSUMED_WIDTH;
        info->ImageLength = known ? picture.height : ASSUMED_HEIGHT;
    } else {
        // A native transfer produces its picture only in the transfer call itself.
        info->ImageWidth = -1;
        info->ImageLength = -1;
    }
    info->SamplesPerPixel = 3;
    for (int i = 0; i < 8; ++i) info->BitsPerSample[i] = i < 3 ? 8 : 0;
    info->BitsPerPixel = 24;
    info->Planar = FALSE;
    info->PixelType = TWPT_RGB;
    info->Compression = TWCP_NONE;
    return ReturnCode::Success;
}

ReturnCode imageLayoutOperation(const DispatchRecord& call)
{
    auto* layout = static_cast<TW_IMAGELAYOUT*>(call.data);
    switch (call.message) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        layout->Frame.Left = TW_FIX32{0, 0};
        layout->Frame.Top = TW_FIX32{0, 0};
        layout->DocumentNumber = 1;
        layout->PageNumber = 1;
        layout->FrameNumber = 1;
        // The frame is known only for a picture already acquired for memory transfer.
        if (!memoryTransferSelected() || g_source.state != STATE_XFER_READY)
            return failQuietly(ConditionCode::BadProtocol);
        layout->Frame.Right = TW_FIX32{static_cast<TW_INT16>(g_transfer.picture.width), 0};
        layout->Frame.Bottom = TW_FIX32{static_cast<TW_INT16>(g_transfer.picture.height), 0};
        return ReturnCode::Success;
    case MSG_SET:
        return failQuietly(ConditionCode::BadValue);
    case MSG_RESET:
        return ReturnCode::Success;
    default:
        return failWithReport(IMAGEINFO_FAILURE, ConditionCode::BadProtocol);
    }
}
