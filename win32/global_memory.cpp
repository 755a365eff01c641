#include "win32/global_memory.h"

HGLOBAL globalAllocate(SIZE_T size)
{
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}
