// Library entry of the data source. Kept trivial: source managers load sources while they
// enumerate, and nothing may be set up here that a load without use would have to undo.
#include "twain/source_lifetime.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (!instance) return FALSE;
    switch (reason) {
    case DLL_PROCESS_ATTACH: sourceAttach(instance); break;
    case DLL_PROCESS_DETACH: sourceDetach(); break;
    default: break;
    }
    return TRUE;
}
