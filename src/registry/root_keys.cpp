#include "registry/root_keys.h"

#ifndef HKEY_PERFORMANCE_TEXT
#define HKEY_PERFORMANCE_TEXT ((HKEY)(ULONG_PTR)((LONG)0x80000050))
#endif
#ifndef HKEY_PERFORMANCE_NLSTEXT
#define HKEY_PERFORMANCE_NLSTEXT ((HKEY)(ULONG_PTR)((LONG)0x80000060))
#endif

// Searched in this order; names are case-sensitive.
const RootKeyRow RootKeyTable[18] = {
    {L"HKCR", 4, HKEY_CLASSES_ROOT},
    {L"HKEY_CLASSES_ROOT", 17, HKEY_CLASSES_ROOT},
    {L"HKCU", 4, HKEY_CURRENT_USER},
    {L"HKEY_CURRENT_USER", 17, HKEY_CURRENT_USER},
    {L"HKLM", 4, HKEY_LOCAL_MACHINE},
    {L"HKEY_LOCAL_MACHINE", 18, HKEY_LOCAL_MACHINE},
    {L"HKU", 3, HKEY_USERS},
    {L"HKEY_USERS", 10, HKEY_USERS},
    {L"HKPD", 4, HKEY_PERFORMANCE_DATA},
    {L"HKEY_PERFORMANCE_DATA", 21, HKEY_PERFORMANCE_DATA},
    {L"HKPT", 4, HKEY_PERFORMANCE_TEXT},
    {L"HKEY_PERFORMANCE_TEXT", 21, HKEY_PERFORMANCE_TEXT},
    {L"HKPN", 4, HKEY_PERFORMANCE_NLSTEXT},
    {L"HKEY_PERFORMANCE_NLSTEXT", 24, HKEY_PERFORMANCE_NLSTEXT},
    {L"HKCC", 4, HKEY_CURRENT_CONFIG},
    {L"HKEY_CURRENT_CONFIG", 19, HKEY_CURRENT_CONFIG},
    {L"HKDD", 4, HKEY_DYN_DATA},
    {L"HKEY_DYN_DATA", 13, HKEY_DYN_DATA},
};

namespace {

// The first `length` units of path equal name; a shorter path differs
// (its terminator meets a letter of the name first).
bool StartsWith(const WCHAR* path, const WCHAR* name, int length)
{
    for (int i = 0; i < length; ++i)
        if (path[i] != name[i])
            return false;
    return true;
}

}  // namespace

HKEY ResolveRootKey(const WCHAR* path, const WCHAR** rest)
{
    if (!path)
        return nullptr;
    for (const RootKeyRow& row : RootKeyTable) {
        if (!StartsWith(path, row.name, row.length))
            continue;
        const WCHAR next = path[row.length];
        if (next != L'\\' && next != 0)
            continue;
        if (rest)
            *rest = next ? path + row.length + 1 : path + row.length;
        return row.root;
    }
    return nullptr;
}
