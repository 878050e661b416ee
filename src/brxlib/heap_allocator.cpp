// Production allocator: the process heap.
#include <windows.h>
#include "brxlib/memory.h"

namespace brxlib {

void* Allocate(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1);
}

void Free(void* block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace brxlib
