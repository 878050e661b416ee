#include "archiver/archiver_location.h"

#include "brxlib/text_builder.h"

const WCHAR ArchiverSettingsKey[] = L"HKCU\\Software\\Quodle\\Morvane";

namespace {

// True when the value read into buffer carries its own terminator.
bool ReadInstallPath(HKEY key, WCHAR* buffer, DWORD bytes)
{
    DWORD size = bytes;
    if (RegQueryValueExW(key, L"InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    const DWORD units = size / sizeof(WCHAR);
    for (DWORD i = 0; i < units; ++i)
        if (buffer[i] == 0)
            return true;
    return false;
}

// "X:\..." or "\\server\share\...". Anything else ("Morvane", "C:Morvane",
// "\Morvane") is resolved against the host's current folder or drive, and
// would start a program nobody chose.
bool IsFullyQualified(const WCHAR* path)
{
    const WCHAR letter = path[0];
    if (((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z')) && path[1] == L':' &&
        path[2] == L'\\')
        return true;
    if (path[0] != L'\\' || path[1] != L'\\')
        return false;
    // A server name, then a share name; "\\?\" and "\\.\" are device paths.
    const WCHAR* p = path + 2;
    if (*p == L'?' || *p == L'.' || *p == L'\\' || *p == 0)
        return false;
    while (*p && *p != L'\\')
        ++p;
    return p[0] == L'\\' && p[1] != 0 && p[1] != L'\\';
}

}  // namespace

HRESULT LocateArchiver(ArchiverLocation& location)
{
    ZeroMemory(location.InstallPath, sizeof(location.InstallPath));
    ZeroMemory(location.ArchiverPath, sizeof(location.ArchiverPath));
    // The key is created (empty) when missing, as every settings read does.
    location.settings.Create(ArchiverSettingsKey);
    if (!ReadInstallPath(location.settings.key(), location.InstallPath, sizeof(location.InstallPath)) ||
        !IsFullyQualified(location.InstallPath)) {
        ZeroMemory(location.InstallPath, sizeof(location.InstallPath));
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    brxlib::TextBuilder path(location.ArchiverPath, MAX_PATH + 1);
    path.Append(location.InstallPath).Append(L"\\Morvane.exe");
    if (!path.ok()) {
        ZeroMemory(location.InstallPath, sizeof(location.InstallPath));
        location.ArchiverPath[0] = 0;
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return S_OK;
}
