// The per-user settings that the benchmarks write, saved first and put back
// afterwards: keys that did not exist are deleted again.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// HKCU-relative paths of the settings.
extern const wchar_t ShellSettingsKey[];        // m_tbsShell: the four menu switches
extern const wchar_t CompressMenuSettingsKey[]; // m_chkCompressMenu: one value per format
extern const wchar_t ExtensionSettingsKey[];    // AdditionalMenu
extern const wchar_t ArchiverSettingsPath[];    // InstallPath

class SavedSettings {
public:
    SavedSettings();
    ~SavedSettings();
    SavedSettings(const SavedSettings&) = delete;
    SavedSettings& operator=(const SavedSettings&) = delete;

    static void SetDword(const wchar_t* key, const wchar_t* name, DWORD value);
    static void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& text);

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Key {
        std::wstring path;
        bool existed;
        std::vector<Value> values;
    };
    static Key Save(const wchar_t* path);
    static void Restore(const Key& key);

    std::vector<Key> m_keys;  // deepest first, so that parents go last
};
