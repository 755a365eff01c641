// The data source's only export, with the calling convention TWAIN prescribes for 32-bit sources.
#pragma once

#include "twain/twain_types.h"

extern "C" TW_UINT16 WINAPI DS_Entry(TW_IDENTITY* origin, TW_UINT32 dataGroup, TW_UINT16 dataType,
                                     TW_UINT16 message, TW_MEMREF data);
