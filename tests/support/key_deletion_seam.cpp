#include "support/key_deletion_seam.h"

#include <wchar.h>

#include "registry/key_deletion.h"

namespace {

const wchar_t* g_refused = nullptr;

}  // namespace

LONG DeleteRegistryKey(HKEY parent, const WCHAR* name)
{
    if (g_refused && name && wcscmp(name, g_refused) == 0)
        return ERROR_ACCESS_DENIED;
    return RegDeleteKeyW(parent, name);
}

namespace test_registry {

void RefuseDeletionOf(const wchar_t* name) { g_refused = name; }

}  // namespace test_registry
