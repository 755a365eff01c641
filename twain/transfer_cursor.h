// Where the transfers stand: which window's selection they take their pictures from, how many
// pictures are still announced, the facts of the last picture decoded, and the picture a memory
// transfer is delivering in strips. Owned by the protocol.
#pragma once

#include "camera/image_decoding.h"
#include "camera_window/requests.h"
#include "twain/twain_types.h"

struct TransferCursor {
    TransferOrigin origin;
    FileKind       fileKind;         // of the files the file browser announced
    uint16_t       imageInfoMarker;  // pending count for which DAT_IMAGEINFO last answered
    PictureFacts   picture;          // facts of the most recently decoded picture
    HGLOBAL        heldBitmap;       // bitmap being delivered by memory transfer, 0 when none
    BYTE*          nextRow;          // inside the locked held bitmap
    uint32_t       bytesRemaining;   // picture bytes not yet delivered by memory transfer
};

extern TransferCursor g_transfer;

// The pending count: pictures announced and not yet counted off by MSG_ENDXFER. This file is
// its one writer, through the three operations below.
int16_t pendingCount();
// A selection of `selected` pictures announced. The count is a signed 16-bit value: a larger
// selection is announced as its largest count; the transfers end when no picture is left.
void pendingAnnounce(uint16_t selected);
// No picture is pending any more: the selection ran out, failed, was cancelled or reset.
void pendingEnd();
// MSG_ENDXFER: one picture fewer, never below 0. Returns what is left.
int16_t pendingCountOff();

// Takes a decoded picture's facts: its size, bytes remaining = width x height x 3, and
// ICAP_UNITS with the X and Y resolutions: pixels per centimetre when the picture carries
// both resolutions, otherwise units of pixels with the resolutions left as they were.
void takePictureFacts(const PictureFacts& facts);
// A resolution as the source reports it: the value rounded to six decimals, whole part only.
TW_FIX32 floatToFix32(float value);

// Makes `bitmap` the memory transfer's held bitmap: locked until its last strip, the next row
// at the picture's top row (the last stored row). False, with the block freed and nothing held,
// when the block is no whole picture of the last picture's size.
bool holdCurrentBitmap(HGLOBAL bitmap);
// Hands a held bitmap over whole: unlocked, forgotten, the caller's to free. 0 when none is held.
HGLOBAL takeHeldBitmap();
// Lets go of a held bitmap: unlock, free, forget.
void releaseCurrentBitmap();
