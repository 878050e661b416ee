#pragma once
#include <windows.h>

extern const WCHAR* const HandlerKeyTable[11];
extern const WCHAR ServerDescription[];
extern const WCHAR ApprovedKey[];

// The class identifier as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
void FormatClsidString(const CLSID& clsid, WCHAR* buffer, int capacity);

STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
