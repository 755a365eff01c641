// What a process holds, for the long session's check that nothing grows: its private memory (as
// the system counts it and as a walk of its committed private pages finds it), its handles, its
// GDI and USER objects (as GetGuiResources counts them, and GDI objects also from the shared GDI
// handle table where the system keeps one, since Wine's GetGuiResources counts nothing), its
// windows, and the entries of its temporary folder. Under Wine 8 GetProcessMemoryInfo,
// GetProcessHandleCount and GetGuiResources answer 0: the walk of the committed private pages, the
// system's handle list and the GDI table are what count there.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct ProcessResources {
    uint64_t privateUsage = 0;      // PROCESS_MEMORY_COUNTERS_EX.PrivateUsage
    uint64_t committedPrivate = 0;  // committed pages of MEM_PRIVATE regions (VirtualQuery)
    DWORD handles = 0;              // GetProcessHandleCount, or the system's handle list where it counts none
    DWORD gdiObjects = 0;           // GetGuiResources(GR_GDIOBJECTS)
    DWORD userObjects = 0;          // GetGuiResources(GR_USEROBJECTS)
    long gdiTableEntries = -1;      // in-use entries of the shared GDI handle table; -1 without one
    int windows = 0;                // top-level and child windows of this process, hidden ones too
    int temporaryEntries = 0;       // files and folders in GetTempPath()
};

ProcessResources measureProcess();
std::string describeResources(const ProcessResources& resources);
