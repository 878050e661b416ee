// Key paths that begin with a root-key name, short or long.
#pragma once
#include <windows.h>

struct RootKeyRow {
    const WCHAR* name;
    int length;
    HKEY root;
};

extern const RootKeyRow RootKeyTable[18];

// The predefined root named at the start of path, or null. On a match, *rest
// (when asked for) points after the "\" or at the path's terminating zero;
// on no match it is not written.
HKEY ResolveRootKey(const WCHAR* path, const WCHAR** rest);
