// The two notifications the source sends to the source manager. The manager's library is
// loaded by name around each one; the source holds no reference to it between calls.
#pragma once

// State := 600, then MSG_XFERREADY.
void notifyTransferReady();
// MSG_CLOSEDSREQ; the state is not changed.
void notifyCloseRequest();
