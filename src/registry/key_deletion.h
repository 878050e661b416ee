// The one call that removes a registry key, in a file of its own: tests link
// a version that can refuse, since Wine grants DELETE on every key whatever
// its access list says.
#pragma once
#include <windows.h>

// RegDeleteKeyW(parent, name).
LONG DeleteRegistryKey(HKEY parent, const WCHAR* name);
