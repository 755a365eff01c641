// twacquire's transfers: once a source announced pictures (MSG_XFERREADY), every pending picture
// is fetched by native transfer (the whole DIB handle) or by memory transfer (strips into a
// buffer of the size the source prefers), MSG_ENDXFER is answered after each, and the picture
// is saved as a BMP file carrying the resolution the source reported.
#pragma once

#include "twain/twain_types.h"

#include <functional>
#include <string>

enum class Mechanism { Native, Memory };

struct TransferSession {
    // Calls the open source through the manager: DG, DAT, MSG, data.
    std::function<TW_UINT16(TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF)> callSource;
    std::function<void(const char*)> say;
    Mechanism mechanism = Mechanism::Native;
    std::string outputFolder;  // empty: pictures are not saved
    int saved = 0;             // pictures saved so far in this run, numbering the files
    int failures = 0;
};

// Transfers every pending picture; returns how many arrived.
int transferPendingPictures(TransferSession& session);

// Writes a packed DIB (40-byte header, 24-bit rows padded to 4 bytes) as a BMP file.
bool writeBmpFile(const std::string& path, const void* dib, size_t size);
