#include "testkit/settings_keys.h"

const wchar_t ShellKey[] = L"Software\\Quodle\\Morvane\\m_tbsShell";
const wchar_t CompressMenuKey[] = L"Software\\Quodle\\Morvane\\m_chkCompressMenu";
const wchar_t ExtensionKey[] = L"Software\\Brantix\\Morvane_x64_shell_extension";
const wchar_t ArchiverKey[] = L"Software\\Quodle\\Morvane";

bool WriteSetting(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    return true;
}

bool WriteDwordSetting(const std::wstring& key, const std::wstring& name, DWORD value)
{
    return WriteSetting(key, name, REG_DWORD, &value, sizeof(value));
}

bool WriteStringSetting(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    return WriteSetting(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
