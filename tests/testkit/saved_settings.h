// The per-user settings, saved first and put back afterwards: keys that did
// not exist are deleted again. For runs that must leave the user's own
// settings as they were (the benchmarks); tests start from none instead.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

class SavedSettings {
public:
    SavedSettings();
    ~SavedSettings();
    SavedSettings(const SavedSettings&) = delete;
    SavedSettings& operator=(const SavedSettings&) = delete;

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
