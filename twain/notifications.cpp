#include "notifications.h"

#include "scoped_handle.h"
#include "source_state.h"

namespace {

// A 2.x manager keeps a 1.x source's notification until the application's next
// MSG_PROCESSEVENT, and an application waiting in GetMessage would never get there: an empty
// message turns its loop once. Its window from MSG_ENABLEDS gets it, or else its thread.
void wakeApplication()
{
    if (g_source.parentWindow && IsWindow(g_source.parentWindow))
        PostMessageA(g_source.parentWindow, WM_NULL, 0, 0);
    else if (g_source.enablingThread)
        PostThreadMessageA(g_source.enablingThread, WM_NULL, 0, 0);
}

// A missing manager library or entry point drops the notification without a word:
// there is nobody to tell.
void notifyManager(TW_UINT16 message)
{
    ScopedModule manager(LoadLibraryA("TWAIN_32.DLL"));
    if (!manager) return;
    auto entry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(manager.get(), "DSM_Entry"));
    if (!entry) return;
    entry(&g_source.sourceIdentity, &g_source.appIdentity, DG_CONTROL, DAT_NULL, message, nullptr);
    wakeApplication();
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
