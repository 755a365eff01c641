#include "notifications.h"

#include "scoped_handle.h"
#include "source_state.h"

namespace {

// A missing manager library or entry point drops the notification without a word:
// there is nobody to tell.
void notifyManager(TW_UINT16 message)
{
    ScopedModule manager(LoadLibraryA("TWAIN_32.DLL"));
    if (!manager) return;
    auto entry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(manager.get(), "DSM_Entry"));
    if (entry) entry(&g_source.sourceIdentity, &g_source.appIdentity, DG_CONTROL, DAT_NULL, message, nullptr);
}

}  // namespace

void notifyTransferReady()
{
    g_source.state = STATE_XFER_READY;
    notifyManager(MSG_XFERREADY);
}

void notifyCloseRequest()
{
    notifyManager(MSG_CLOSEDSREQ);
}
