// DG_CONTROL operations other than capability negotiation.
#pragma once

#include "twain/dispatch.h"

ReturnCode identityOperation(const DispatchRecord& call);
ReturnCode userInterfaceOperation(const DispatchRecord& call);
ReturnCode statusOperation(const DispatchRecord& call);
ReturnCode pendingTransfersOperation(const DispatchRecord& call);
ReturnCode setupMemoryTransferOperation(const DispatchRecord& call);
ReturnCode transferGroupOperation(const DispatchRecord& call);

// Copies the source identity out; answers any caller in any state.
void copySourceIdentity(TW_IDENTITY* destination);

// Lets go of a memory-transfer bitmap that is still held: unlock, free, forget.
void releaseCurrentBitmap();
