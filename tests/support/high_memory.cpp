// Linked into test programs of the 64-bit build that run a second time with every new block of
// memory above 4 GiB (environment TEST_HIGH_MEMORY=1): a pointer or handle that the code cuts to
// 32 bits then points nowhere, instead of going unnoticed because it happened to be small.
//
// Before main, the free address space below 4 GiB is reserved, and the free space that the
// process heap and the C runtime's heap still hold there is used up, so that both heaps grow
// above it. (Wine hands out movable global handles from a table made at process start, below
// 4 GiB; the blocks behind them, the application's buffers and the records passed around land
// above.) The run stops at once when a fresh block still lands low: it would test nothing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr ULONG_PTR kFourGiB = 0x100000000ull;

bool isLow(const void* p)
{
    return reinterpret_cast<ULONG_PTR>(p) < kFourGiB;
}

void reserveFreeLowAddressSpace()
{
    MEMORY_BASIC_INFORMATION region;
    for (ULONG_PTR at = 0x10000; at < kFourGiB;) {
        if (!VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region)) break;
        const ULONG_PTR end = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
        if (region.State == MEM_FREE) {
            const ULONG_PTR start = (reinterpret_cast<ULONG_PTR>(region.BaseAddress) + 0xFFFF) & ~ULONG_PTR(0xFFFF);
            const ULONG_PTR stop = end < kFourGiB ? end : kFourGiB;
            if (stop > start) VirtualAlloc(reinterpret_cast<void*>(start), stop - start, MEM_RESERVE, PAGE_NOACCESS);
        }
        at = end;
    }
}

// Takes blocks of every size class from a heap until it hands out only high ones: a run of high
// blocks, since a heap may still fill a group of small blocks from space it holds below. The
// blocks are kept for the life of the process.
void* volatile g_keptBlock;  // where the blocks go, so that the compiler keeps every allocation

template <class Allocate>
void drainLowBlocks(Allocate allocate)
{
    for (size_t size = 64 * 1024; size >= 16; size /= 2)
        for (int i = 0, highInARow = 0; i < 1 << 20 && highInARow < 256; ++i) {
            void* block = allocate(size);
            if (!block) break;
            g_keptBlock = block;
            highInARow = isLow(block) ? 0 : highInARow + 1;
        }
}

struct HighMemory {
    HighMemory()
    {
        char flag[4] = "";
        if (!GetEnvironmentVariableA("TEST_HIGH_MEMORY", flag, sizeof flag) || flag[0] != '1') return;
        reserveFreeLowAddressSpace();
        drainLowBlocks([](size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); });
        drainLowBlocks([](size_t size) { return std::malloc(size); });

        HGLOBAL block = GlobalAlloc(GHND, 64);
        void* locked = GlobalLock(block);
        void* fromHeap = std::malloc(64);
        void* fromNew = new char[64];
        if (isLow(locked) || isLow(fromHeap) || isLow(fromNew)) {
            std::fprintf(stderr, "high memory: new blocks still land below 4 GiB (%p %p %p)\n", locked, fromHeap,
                         fromNew);
            std::abort();
        }
        GlobalUnlock(block);
        GlobalFree(block);
        std::free(fromHeap);
        delete[] static_cast<char*>(fromNew);
        std::fprintf(stderr, "high memory: every new block lands above 4 GiB\n");
    }
};

// Constructed before the tests' own static objects.
HighMemory g_highMemory __attribute__((init_priority(101)));

}  // namespace
