#include "shellext/menu_settings.h"

namespace MenuSettingsKey {
const WCHAR Extension[] = L"HKCU\\Software\\Brantix\\Morvane_x64_shell_extension";
const WCHAR Shell[] = L"HKCU\\Software\\Quodle\\Morvane\\m_tbsShell";
const WCHAR CompressMenu[] = L"HKCU\\Software\\Quodle\\Morvane\\m_chkCompressMenu";
}  // namespace MenuSettingsKey

namespace {

DWORD FirstWord(const BYTE* buffer)
{
    return static_cast<DWORD>(buffer[0]) | static_cast<DWORD>(buffer[1]) << 8 |
           static_cast<DWORD>(buffer[2]) << 16 | static_cast<DWORD>(buffer[3]) << 24;
}

}  // namespace

bool ReadSwitch(HKEY key, const WCHAR* name)
{
    BYTE buffer[8] = {};
    DWORD size = sizeof(buffer);
    RegQueryValueExW(key, name, nullptr, nullptr, buffer, &size);
    return FirstWord(buffer) != 0;
}

bool ReadFormatEnabled(HKEY key, const WCHAR* name)
{
    BYTE buffer[8] = {};
    DWORD size = sizeof(buffer);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, buffer, &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD && type != REG_DWORD_BIG_ENDIAN)
        return false;
    return FirstWord(buffer) != 0;
}

EffectiveSwitches ReadEffectiveSwitches(RegistryKey& settings, bool dragDrop, int selected)
{
    settings.Create(MenuSettingsKey::Extension);
    const bool additionalMenu = ReadSwitch(settings.key(), L"AdditionalMenu");
    settings.Create(MenuSettingsKey::Shell);
    const HKEY shell = settings.key();
    const bool cmCompress = ReadSwitch(shell, L"m_chkCMCompress");
    const bool cmExtract = ReadSwitch(shell, L"m_chkCMExtract");
    const bool ddCompress = ReadSwitch(shell, L"m_chkDDCompress");
    const bool ddExtract = ReadSwitch(shell, L"m_chkDDExtract");
    EffectiveSwitches on;
    on.cmCompress = cmCompress && !dragDrop;
    on.cmExtract = cmExtract && !dragDrop;
    on.ddCompress = ddCompress && dragDrop;
    on.ddExtract = ddExtract && dragDrop;
    on.conversion = additionalMenu && selected == 1;
    return on;
}

int ReadEnabledFormats(const CompressFormat* (&enabled)[14])
{
    RegistryKey formats;
    if (!formats.Create(MenuSettingsKey::CompressMenu))
        return 0;
    int count = 0;
    for (const CompressFormat& format : CompressFormatTable) {
        if (ReadFormatEnabled(formats.key(), format.valueName))
            enabled[count++] = &format;
    }
    return count;
}
