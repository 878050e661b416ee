#include "support/platform_seams.h"

#include <wchar.h>

#include "newmenu/package_name.h"
#include "registry/key_deletion.h"
#include "shellext/folder_path.h"

namespace {

const wchar_t* g_refused = nullptr;
PCIDLIST_ABSOLUTE g_folder = nullptr;
const wchar_t* g_folderPath = nullptr;
const wchar_t* g_packageFullName = nullptr;

}  // namespace

LONG DeleteRegistryKey(HKEY parent, const WCHAR* name)
{
    if (g_refused && name && wcscmp(name, g_refused) == 0)
        return ERROR_ACCESS_DENIED;
    return RegDeleteKeyW(parent, name);
}

HRESULT GetFileSystemPath(PCIDLIST_ABSOLUTE folder, PWSTR* path)
{
    if (!g_folder || !folder || !ILIsEqual(folder, g_folder))
        return SHGetNameFromIDList(folder, SIGDN_FILESYSPATH, path);
    const size_t bytes = (wcslen(g_folderPath) + 1) * sizeof(wchar_t);
    *path = static_cast<PWSTR>(CoTaskMemAlloc(bytes));
    if (!*path)
        return E_OUTOFMEMORY;
    memcpy(*path, g_folderPath, bytes);
    return S_OK;
}

LONG CurrentPackageFullName(UINT32* length, PWSTR name)
{
    if (!g_packageFullName) {
        using Function = LONG(WINAPI*)(UINT32*, PWSTR);
        const auto get = reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetCurrentPackageFullName")));
        return get ? get(length, name) : APPMODEL_ERROR_NO_PACKAGE;
    }
    const UINT32 needed = static_cast<UINT32>(wcslen(g_packageFullName) + 1);
    const bool fits = *length >= needed && name;
    if (fits)
        memcpy(name, g_packageFullName, needed * sizeof(wchar_t));
    *length = needed;
    return fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
}

namespace test_seams {

void RefuseDeletionOf(const wchar_t* name) { g_refused = name; }

void AnswerFolderPath(PCIDLIST_ABSOLUTE folder, const wchar_t* path)
{
    g_folder = path ? folder : nullptr;
    g_folderPath = path;
}

void AnswerPackageFullName(const wchar_t* name) { g_packageFullName = name; }

}  // namespace test_seams
