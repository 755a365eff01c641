#include "twain/notifications.h"

#include "win32/scoped_handle.h"
#include "twain/source_state.h"

namespace {

// A 2.x manager keeps a 1.x source's notification until the application's next
// MSG_PROCESSEVENT, and an application waiting in GetMessage would never get there: an empty
// message turns its loop once. Its window from MSG_ENABLEDS gets it when that window belongs to
// the thread that enabled the source (whose loop is the one that asks); else that thread does.
// (A console application may hand over the desktop window, whose queue is nobody's loop.)
void wakeApplication()
{
    HWND parent = g_source.parentWindow;
    if (parent && IsWindow(parent) && GetWindowThreadProcessId(parent, nullptr) == g_source.enablingThread)
        PostMessageA(parent, WM_NULL, 0, 0);
    else if (g_source.enablingThread)
        PostThreadMessageA(g_source.enablingThread, WM_NULL, 0, 0);
}

// The manager that loaded this source: a 2.x manager (TWAINDSM.DLL) where the process has
// one, else a 1.x manager (TWAIN_32.DLL); held for the moment of the call. Only when neither
// is loaded is one loaded by name, the 1.x manager first (64-bit Windows has only the 2.x one).
HMODULE holdManager()
{
    HMODULE manager = nullptr;
    for (const char* name : {"TWAINDSM.DLL", "TWAIN_32.DLL"})
        if (GetModuleHandleExA(0, name, &manager)) return manager;
    for (const char* name : {"TWAIN_32.DLL", "TWAINDSM.DLL"})
        if ((manager = LoadLibraryA(name)) != nullptr) return manager;
    return nullptr;
}

// A missing manager library or entry point drops the notification without a word:
// there is nobody to tell.
void notifyManager(TW_UINT16 message)
{
    ScopedModule manager(holdManager());
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
