// DG_IMAGE operations: image information and layout, native and memory transfer.
#pragma once

#include "twain/dispatch.h"

ReturnCode imageInfoOperation(const DispatchRecord& call);
ReturnCode imageLayoutOperation(const DispatchRecord& call);
ReturnCode nativeTransferOperation(const DispatchRecord& call);
ReturnCode memoryTransferOperation(const DispatchRecord& call);
