// RegistryKey: owns at most one open key. Paths that begin with a root name
// are absolute; any other path is relative to the key held at that moment.
#pragma once
#include <windows.h>

class RegistryKey {
public:
    // Read and write access together, as every caller opens its keys.
    static const REGSAM ReadWrite = KEY_READ | KEY_WRITE;

    RegistryKey() : m_key(nullptr), m_status(ERROR_SUCCESS) {}
    explicit RegistryKey(const WCHAR* path) : RegistryKey() { Create(path, ReadWrite); }
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens or creates path and holds it instead of the previous key.
    bool Create(const WCHAR* path, REGSAM access = ReadWrite);
    void Close();
    // Deletes a key with all its subkeys; see registry_key.cpp for the status rules.
    bool DeleteKeyTree(const WCHAR* path);

    HKEY key() const { return m_key; }
    LONG status() const { return m_status; }
    void set_status(LONG status) { m_status = status; }

private:
    bool DeleteTree(const WCHAR* path, LONG* failure);
    bool DeleteChildren(HKEY leaf, LONG* failure);

    HKEY m_key;
    LONG m_status;
};
