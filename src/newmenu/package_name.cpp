#include "newmenu/package_name.h"

LONG CurrentPackageFullName(UINT32* length, PWSTR name)
{
    using Function = LONG(WINAPI*)(UINT32*, PWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const Function get =
        kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetCurrentPackageFullName")))
               : nullptr;
    return get ? get(length, name) : APPMODEL_ERROR_NO_PACKAGE;
}
