// Result codes of the two image-file stand-ins (VXK4X32, VXXIF32), in a form the portable
// cores can use without windows.h. The data source sees the same values under the names of
// win32/maker/vxk4x32.h and win32/maker/vxxif32.h; the DLL layers check at compile time that they agree.
// 16 and 17 are the maker's shared "no memory" and "cancelled" codes; the others are ours and
// deliberately keep clear of them.
#pragma once

#include <cstdint>

enum ImageResult : uint16_t {
    IMG_OK              = 0,
    IMG_ERR_NOT_FOUND   = 2,   // the file cannot be opened or read
    IMG_ERR_BAD_FORMAT  = 3,   // not a file of this kind, or a header that contradicts itself
    IMG_ERR_TRUNCATED   = 4,   // the data ends before the parts its header announces
    IMG_ERR_CORRUPT     = 5,   // a checksum does not match or compressed data does not inflate
    IMG_ERR_TOO_LARGE   = 6,   // dimensions or sizes beyond what the libraries accept
    IMG_ERR_BAD_ARGUMENT = 7,  // a null pointer, a bad option record or a handle smaller than its size
    IMG_ERR_UNSUPPORTED = 8,   // a valid file of a variant the decoder cannot read
    IMG_ERR_WRITE       = 9,   // k4iSplitData could not write one of its files
    IMG_ERR_NO_PICTURE  = 10,  // k4iSplitData: the camera data holds no K4I part
    IMG_ERR_NO_MEMORY   = 16,  // same value as the maker's DEC_ERR_NOMEMORY
    IMG_ERR_CANCELLED   = 17,  // same value as the maker's DEC_ERR_CANCELLED
};
