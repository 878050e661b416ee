#include "registry/key_deletion.h"

LONG DeleteRegistryKey(HKEY parent, const WCHAR* name)
{
    return RegDeleteKeyW(parent, name);
}
