// Recording stand-in for TWAIN_32.DLL (see fake_dsm.h).
#include "fake_dsm.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

std::mutex g_lock;                  // sources notify from the application's thread, tests read from theirs
std::vector<FakeDsmCall> g_calls;
TW_UINT16 g_result = TWRC_SUCCESS;

void countAttach()
{
    char text[16] = "";
    GetEnvironmentVariableA(FAKE_DSM_ATTACH_COUNT_VARIABLE, text, sizeof text);
    std::snprintf(text, sizeof text, "%ld", std::strtol(text, nullptr, 10) + 1);
    SetEnvironmentVariableA(FAKE_DSM_ATTACH_COUNT_VARIABLE, text);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        countAttach();
    return TRUE;
}

#ifndef FAKE_DSM_WITHOUT_ENTRY
extern "C" TW_UINT16 WINAPI DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg,
                                      TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    FakeDsmCall call{};
    call.hasOrigin = origin != nullptr;
    if (origin)
        call.origin = *origin;
    call.hasDestination = destination != nullptr;
    if (destination)
        call.destination = *destination;
    call.dg = dg;
    call.dat = dat;
    call.msg = msg;
    call.data = data;

    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.push_back(call);
    return g_result;
}
#endif

extern "C" TW_UINT32 __cdecl fakeDsmCallCount()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return static_cast<TW_UINT32>(g_calls.size());
}

extern "C" BOOL __cdecl fakeDsmGetCall(TW_UINT32 index, FakeDsmCall* call)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (!call || index >= g_calls.size())
        return FALSE;
    *call = g_calls[index];
    return TRUE;
}

extern "C" void __cdecl fakeDsmClear()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.clear();
    g_result = TWRC_SUCCESS;
}

extern "C" void __cdecl fakeDsmSetResult(TW_UINT16 returnCode)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_result = returnCode;
}
