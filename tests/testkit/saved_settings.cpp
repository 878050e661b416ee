#include "testkit/saved_settings.h"

#include "testkit/settings_keys.h"

namespace {

// The keys that writing the settings can create, children before parents.
const wchar_t* const TouchedKeys[] = {
    ShellKey, CompressMenuKey, ArchiverKey, L"Software\\Quodle",
    ExtensionKey, L"Software\\Brantix",
};

}  // namespace

SavedSettings::SavedSettings()
{
    for (const wchar_t* path : TouchedKeys)
        m_keys.push_back(Save(path));
}

SavedSettings::~SavedSettings()
{
    for (const Key& key : m_keys)
        Restore(key);
}

SavedSettings::Key SavedSettings::Save(const wchar_t* path)
{
    Key key = {path, false, {}};
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return key;
    key.existed = true;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(handle, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        Value value = {std::wstring(name, nameLength), type, std::vector<BYTE>(size)};
        RegQueryValueExW(handle, value.name.c_str(), nullptr, nullptr, value.data.data(), &size);
        key.values.push_back(value);
    }
    RegCloseKey(handle);
    return key;
}

void SavedSettings::Restore(const Key& key)
{
    if (!key.existed) {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.path.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key.path.c_str());
        return;
    }
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.path.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS)
        return;
    // Values are put back as they were: the ones written here go first.
    wchar_t name[16384];
    DWORD nameLength = 16384;
    while (RegEnumValueW(handle, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        if (RegDeleteValueW(handle, name) != ERROR_SUCCESS)
            break;
        nameLength = 16384;
    }
    for (const Value& value : key.values)
        RegSetValueExW(handle, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(handle);
}
