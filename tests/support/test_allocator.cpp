#include "support/test_allocator.h"

#include <windows.h>

#include "brxlib/memory.h"

namespace {

long g_failAt = 0;
void (*g_onFailure)() = nullptr;
long g_allocations = 0;
long g_live = 0;

#if defined(MORVANE_GUARD_HEAP)
SIZE_T PageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

// The block ends exactly where a PAGE_NOACCESS page begins.
void* GuardedAllocate(size_t bytes)
{
    const SIZE_T page = PageSize();
    const SIZE_T dataPages = (bytes + page - 1) / page + (bytes == 0 ? 1 : 0);
    unsigned char* base = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, (dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base)
        return nullptr;
    DWORD old = 0;
    VirtualProtect(base + dataPages * page, page, PAGE_NOACCESS, &old);
    return base + dataPages * page - bytes;
}

void GuardedFree(void* block)
{
    const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(block);
    VirtualFree(reinterpret_cast<void*>(address - address % PageSize()), 0, MEM_RELEASE);
}
#endif

}  // namespace

namespace brxlib {

void* Allocate(size_t bytes)
{
    ++g_allocations;
    if (g_failAt > 0 && --g_failAt == 0) {
        if (g_onFailure)
            g_onFailure();
        return nullptr;
    }
#if defined(MORVANE_GUARD_HEAP)
    void* block = GuardedAllocate(bytes);
#else
    void* block = HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1);
#endif
    if (block)
        ++g_live;
    return block;
}

void Free(void* block)
{
    if (!block)
        return;
    --g_live;
#if defined(MORVANE_GUARD_HEAP)
    GuardedFree(block);
#else
    HeapFree(GetProcessHeap(), 0, block);
#endif
}

}  // namespace brxlib

namespace test_alloc {

void FailAt(long nth) { g_failAt = nth; }
void OnFailure(void (*callback)()) { g_onFailure = callback; }
long Allocations() { return g_allocations; }
long LiveBlocks() { return g_live; }
void Reset()
{
    g_failAt = 0;
    g_allocations = 0;
}
bool GuardPages()
{
#if defined(MORVANE_GUARD_HEAP)
    return true;
#else
    return false;
#endif
}

}  // namespace test_alloc
