#include "process_resources.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <map>
#include <vector>
#include <cstdio>

namespace {

uint64_t committedPrivateBytes()
{
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* at = nullptr;
    while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// The shared GDI handle table the process environment block points to: 65536 entries of 24 bytes
// (a 64-bit object address, the owner's process id and a count, a uniqueness value, the type and
// flags, a 64-bit user address) on 64-bit Windows and under Wine of both widths. An entry in use
// has a type; this process's entries carry its id on Windows.
// This process's in-use entries: a type, and its id as owner (Wine keeps a table per process and
// leaves the owner 0).
bool ownEntry(const BYTE* entry)
{
    const DWORD id = GetCurrentProcessId();
    const USHORT owner = *reinterpret_cast<const USHORT*>(entry + 8);
    return entry[14] != 0 && (owner == USHORT(id) || owner == USHORT(id >> 2) || owner == 0);
}

const BYTE* gdiTable()
{
#ifdef _WIN64
    const size_t tableOffset = 0xF8;
#else
    const size_t tableOffset = 0x94;
#endif
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // the compiler's view of the segment read
    const BYTE* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + tableOffset);
    if (!table) return nullptr;
    // Only where the entries have the 24-byte layout: a fresh brush must show up in them.
    HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    const BYTE* probeEntry = table + 24 * (reinterpret_cast<ULONG_PTR>(probe) & 0xFFFF);
    const bool layoutKnown = probe && !IsBadReadPtr(probeEntry, 24) && ownEntry(probeEntry);
    DeleteObject(probe);
    return layoutKnown ? table : nullptr;
}

long gdiTableEntries()
{
    const BYTE* table = gdiTable();
    if (!table) return -1;
    long count = 0;
    for (int i = 0; i < 0x10000; ++i)
        if (ownEntry(table + 24 * i)) ++count;
    return count;
}

// The process's handles in the system's list of handles (SystemExtendedHandleInformation), for
// systems whose GetProcessHandleCount counts none (Wine answers 0); `types` gets a count per
// object type index.
// The name of a handle's object type ("File", "Thread", ...), through NtQueryObject.
std::string typeName(HANDLE handle)
{
    typedef LONG(WINAPI * Query)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject"));
    if (!query) return "?";
    alignas(8) char buffer[1024];
    ULONG needed = 0;
    if (query(handle, 2 /* ObjectTypeInformation */, buffer, sizeof buffer, &needed) != 0) return "?";
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    std::string text;
    for (USHORT i = 0; i < name->Length / 2; ++i) text += static_cast<char>(name->Buffer[i]);
    return text;
}

DWORD listedHandles(std::map<std::string, int>* types = nullptr)
{
    struct Entry {
        ULONG_PTR object, process, handle;
        ULONG access;
        USHORT backTrace, typeIndex;
        ULONG attributes, reserved;
    };
    struct List {
        ULONG_PTR count, reserved;
        Entry entries[1];
    };
    typedef LONG(WINAPI * Query)(ULONG, PVOID, ULONG, PULONG);
    const auto query =
        reinterpret_cast<Query>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation"));
    if (!query) return 0;
    std::string buffer(1 << 20, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(64, &buffer[0], static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) break;
        if (attempt == 3) return 0;
        buffer.assign(std::max<size_t>(buffer.size() * 2, needed + 65536), '\0');
    }
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    DWORD count = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        if (list->entries[i].process != GetCurrentProcessId()) continue;
        ++count;
        if (types) ++(*types)[typeName(reinterpret_cast<HANDLE>(list->entries[i].handle))];
    }
    return count;
}

struct WindowCount {
    DWORD process;
    int count;
};

BOOL CALLBACK countChild(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM param)
{
    auto* counter = reinterpret_cast<WindowCount*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != counter->process) return TRUE;
    ++counter->count;
    EnumChildWindows(window, countChild, param);
    return TRUE;
}

int processWindows()
{
    WindowCount counter{GetCurrentProcessId(), 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&counter));
    // Message-only windows are not top-level windows of the desktop.
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == counter.process) ++counter.count;
    }
    return counter.count;
}

int temporaryEntries()
{
    char folder[MAX_PATH] = "";
    if (!GetTempPathA(sizeof folder, folder)) return -1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(folder) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

}  // namespace

namespace {

// Holds this many window DCs from the system's cache at once while the GDI table is counted.
// Wine never frees a cache DC: the cache grows to the most DCs ever held at once, which a deeply
// nested message loop raises without any leak. Holding more than that at every measurement counts
// a cache of the same size each time, unless DCs were kept and never given back.
constexpr int DC_PROBE = 64;

long gdiEntriesHoldingDcs()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ProcessResourcesDcProbe";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    std::vector<HDC> held;
    for (int i = 0; window && i < DC_PROBE; ++i)
        if (HDC dc = GetDCEx(window, nullptr, DCX_CACHE)) held.push_back(dc);
    const long count = gdiTableEntries();
    for (HDC dc : held) ReleaseDC(window, dc);
    if (window) DestroyWindow(window);
    return count;
}

}  // namespace

ProcessResources measureProcess()
{
    ProcessResources r;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        r.privateUsage = memory.PrivateUsage;
    r.committedPrivate = committedPrivateBytes();
    std::map<std::string, int> types;
    const DWORD listed = listedHandles(&types);
    GetProcessHandleCount(GetCurrentProcess(), &r.handles);
    if (r.handles == 0) r.handles = listed;
    if (listed) r.handlesChecked = long(listed) - types["Thread"] - types["Event"];
    r.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    r.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    r.gdiTableEntries = gdiEntriesHoldingDcs();
    r.windows = processWindows();
    r.temporaryEntries = temporaryEntries();
    return r;
}

std::string handleTypesInUse()
{
    std::map<std::string, int> types;
    listedHandles(&types);
    std::string text;
    for (const auto& type : types) text += (text.empty() ? "" : ", ") + type.first + " " + std::to_string(type.second);
    return text;
}

long gdiEntriesOfType(int type)
{
    const BYTE* table = gdiTable();
    if (!table) return -1;
    long count = 0;
    for (int i = 0; i < 0x10000; ++i)
        if (ownEntry(table + 24 * i) && table[24 * i + 14] == type) ++count;
    return count;
}

std::string gdiTypesInUse()
{
    const BYTE* table = gdiTable();
    if (!table) return "";
    int counts[256] = {};
    for (int i = 0; i < 0x10000; ++i)
        if (ownEntry(table + 24 * i)) ++counts[table[24 * i + 14]];
    std::string text;
    for (int type = 0; type < 256; ++type) {
        if (!counts[type]) continue;
        char item[32];
        std::snprintf(item, sizeof item, "%stype 0x%02x: %d", text.empty() ? "" : ", ", type, counts[type]);
        text += item;
    }
    return text;
}

std::string describeResources(const ProcessResources& r)
{
    char text[400];
    std::snprintf(text, sizeof text,
                  "private %llu KiB (committed private pages %llu KiB), handles %lu (%ld but threads and events), "
                  "GDI objects %lu (table %ld), "
                  "USER objects %lu, windows %d, temporary entries %d",
                  static_cast<unsigned long long>(r.privateUsage / 1024),
                  static_cast<unsigned long long>(r.committedPrivate / 1024), static_cast<unsigned long>(r.handles),
                  r.handlesChecked, static_cast<unsigned long>(r.gdiObjects), r.gdiTableEntries,
                  static_cast<unsigned long>(r.userObjects), r.windows, r.temporaryEntries);
    return text;
}
