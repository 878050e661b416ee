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

}  // namespace

bool LocateArchiver(ArchiverLocation& location)
{
    ZeroMemory(location.InstallPath, sizeof(location.InstallPath));
    ZeroMemory(location.ArchiverPath, sizeof(location.ArchiverPath));
    // The key is created (empty) when missing, as every settings read does.
    location.settings.Create(ArchiverSettingsKey);
    if (!ReadInstallPath(location.settings.key(), location.InstallPath, sizeof(location.InstallPath)))
        ZeroMemory(location.InstallPath, sizeof(location.InstallPath));
    brxlib::TextBuilder path(location.ArchiverPath, MAX_PATH + 1);
    path.Append(location.InstallPath).Append(L"\\Morvane.exe");
    if (!path.ok()) {
        location.ArchiverPath[0] = 0;
        return false;
    }
    return true;
}
