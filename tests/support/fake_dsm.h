// The recording stand-in for the TWAIN source manager: a DLL named TWAIN_32.DLL (the 1.x
// manager's name) that the tests place in their own folder, so that a data source which loads
// "TWAIN_32.DLL" by name reaches it instead of the system's manager; a twin named TWAINDSM.DLL
// (the 2.x manager's name) sits beside it. It answers every DSM_Entry call with a result the test chose
// and keeps a copy of the call, so a test can see exactly what the source sent.
//
// Tests load it themselves (LoadLibrary) before they let the source notify: that keeps the records
// alive while the source loads and frees the library around each notification. The functions
// below are exported by name; tests find them with GetProcAddress through fakeDsmOpen().
#pragma once

#include "twain/twain_types.h"

#include <cstring>

// One DSM_Entry call as it arrived. Identities are copied because the caller's records may change
// after the call; a null pointer is recorded as such, not as a zero identity.
struct FakeDsmCall {
    bool        hasOrigin;
    TW_IDENTITY origin;
    bool        hasDestination;
    TW_IDENTITY destination;
    TW_UINT32   dg;
    TW_UINT16   dat;
    TW_UINT16   msg;
    TW_MEMREF   data;
};

extern "C" {
typedef TW_UINT32(__cdecl* FakeDsmCallCountProc)();
typedef BOOL(__cdecl* FakeDsmGetCallProc)(TW_UINT32 index, FakeDsmCall* call);
typedef void(__cdecl* FakeDsmClearProc)();
typedef void(__cdecl* FakeDsmSetResultProc)(TW_UINT16 returnCode);
}

// The export names, shared by the DLL's .def file and the tests.
#define FAKE_DSM_CALL_COUNT "fakeDsmCallCount"
#define FAKE_DSM_GET_CALL   "fakeDsmGetCall"
#define FAKE_DSM_CLEAR      "fakeDsmClear"
#define FAKE_DSM_SET_RESULT "fakeDsmSetResult"

// Set in the process environment by the stand-in's library entry, counting process attaches, so a
// test can tell afterwards that a source loaded the library even when the library is gone again.
#define FAKE_DSM_ATTACH_COUNT_VARIABLE "FAKE_TWAIN_32_ATTACHES"

// The test side: loads the stand-in from the test executable's own folder (never from the search
// path, which could yield the system's manager) and reaches its records.
struct FakeDsm {
    HMODULE              library = nullptr;
    FakeDsmCallCountProc callCount = nullptr;
    FakeDsmGetCallProc   getCall = nullptr;
    FakeDsmClearProc     clear = nullptr;
    FakeDsmSetResultProc setResult = nullptr;
};

// Full path of the stand-in `name` beside the running executable.
inline bool fakeDsmPath(char* path, DWORD size, const char* name)
{
    const DWORD length = GetModuleFileNameA(nullptr, path, size);
    if (length == 0 || length >= size)
        return false;
    char* slash = strrchr(path, '\\');
    if (!slash || static_cast<DWORD>(slash - path) + 2 + strlen(name) > size)
        return false;
    slash[1] = '\0';
    strcat(slash, name);
    return true;
}

// Loads the stand-in and resolves its record functions; false when any of them is missing.
inline bool fakeDsmOpen(FakeDsm* dsm, const char* name = "TWAIN_32.DLL")
{
    char path[MAX_PATH];
    *dsm = FakeDsm{};
    if (!fakeDsmPath(path, sizeof path, name))
        return false;
    dsm->library = LoadLibraryA(path);
    if (!dsm->library)
        return false;
    dsm->callCount = reinterpret_cast<FakeDsmCallCountProc>(GetProcAddress(dsm->library, FAKE_DSM_CALL_COUNT));
    dsm->getCall = reinterpret_cast<FakeDsmGetCallProc>(GetProcAddress(dsm->library, FAKE_DSM_GET_CALL));
    dsm->clear = reinterpret_cast<FakeDsmClearProc>(GetProcAddress(dsm->library, FAKE_DSM_CLEAR));
    dsm->setResult = reinterpret_cast<FakeDsmSetResultProc>(GetProcAddress(dsm->library, FAKE_DSM_SET_RESULT));
    return dsm->callCount && dsm->getCall && dsm->clear && dsm->setResult;
}

inline void fakeDsmRelease(FakeDsm* dsm)
{
    if (dsm->library)
        FreeLibrary(dsm->library);
    *dsm = FakeDsm{};
}
