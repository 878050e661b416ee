// Registry keys for tests: whole trees read back as text, keys that refuse
// to be read, open handles counted. Used by the registry, registration,
// installer and hardening tests.
#pragma once
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/environment.h"

namespace keytools {

inline std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "type " + std::to_string(type);
    }
}

// Text values as their units in quotes, each zero unit shown as \0 (so a
// counted terminator is visible); a DWORD as hex; anything else as bytes.
inline std::string DataText(DWORD type, const std::vector<BYTE>& data)
{
    static const char Hex[] = "0123456789ABCDEF";
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::string text = "\"";
        const size_t units = data.size() / sizeof(wchar_t);
        size_t start = 0;
        for (size_t i = 0; i <= units; ++i) {
            const bool end = i == units;
            const wchar_t unit = end ? 0 : reinterpret_cast<const wchar_t*>(data.data())[i];
            if (end || unit == 0) {
                text += Utf8(std::wstring(reinterpret_cast<const wchar_t*>(data.data()) + start, i - start));
                if (!end)
                    text += "\\0";
                start = i + 1;
            }
        }
        text += "\"";
        if (data.size() % sizeof(wchar_t))
            text += std::string(" +") + Hex[data.back() >> 4] + Hex[data.back() & 15];
        return text;
    }
    if (type == REG_DWORD && data.size() == 4) {
        char buffer[16];
        DWORD value = 0;
        memcpy(&value, data.data(), 4);
        snprintf(buffer, sizeof(buffer), "0x%08lX", static_cast<unsigned long>(value));
        return buffer;
    }
    std::string bytes;
    for (BYTE b : data) {
        if (!bytes.empty())
            bytes += ' ';
        bytes += Hex[b >> 4];
        bytes += Hex[b & 15];
    }
    return bytes;
}

// "<key> | <name or (default)> | <type> | <data> | <size in bytes>"
inline std::string ValueText(const std::string& keyLabel, const std::wstring& name, DWORD type,
                             const std::vector<BYTE>& data)
{
    return keyLabel + " | " + (name.empty() ? std::string("(default)") : Utf8(name)) + " | " + TypeName(type) +
           " | " + DataText(type, data) + " | " + std::to_string(data.size());
}

// The line of one value, or "" when it cannot be read.
inline std::string ValueLine(HKEY key, const std::string& keyLabel, const std::wstring& name)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::string();
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::string();
    data.resize(size);
    return ValueText(keyLabel, name, type, data);
}

inline std::vector<std::wstring> ValueNames(HKEY key)
{
    std::vector<std::wstring> names;
    std::vector<wchar_t> buffer(16384);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumValueW(key, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(buffer.data(), length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    std::vector<wchar_t> buffer(512);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumKeyExW(key, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(buffer.data(), length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void AppendTree(HKEY key, const std::string& label, std::vector<std::string>& lines)
{
    lines.push_back(label);
    for (const std::wstring& name : ValueNames(key))
        lines.push_back(ValueLine(key, label, name));
    for (const std::wstring& name : SubkeyNames(key)) {
        const std::string childLabel = label + "\\" + Utf8(name);
        HKEY child = nullptr;
        const LONG status = RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &child);
        if (status != ERROR_SUCCESS) {
            lines.push_back(childLabel + " | cannot open: " + std::to_string(status));
            continue;
        }
        AppendTree(child, childLabel, lines);
        RegCloseKey(child);
    }
}

// root\path with all its values and subkeys, depth first, names sorted: a
// line per key ("<label>\<subkey path>") followed by a line per value. A
// missing key gives no lines, one that cannot be read a "cannot open" line.
inline std::vector<std::string> TreeLines(HKEY root, const std::wstring& path, const std::string& label)
{
    std::vector<std::string> lines;
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return lines;
    if (status != ERROR_SUCCESS) {
        lines.push_back(label + " | cannot open: " + std::to_string(status));
        return lines;
    }
    AppendTree(key, label, lines);
    RegCloseKey(key);
    return lines;
}

inline std::string Join(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

inline std::string TreeText(HKEY root, const std::wstring& path, const std::string& label)
{
    return Join(TreeLines(root, path, label));
}

// The size a REG_SZ takes with its terminator counted.
inline DWORD TextBytes(const std::wstring& text)
{
    return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
}

// The line a REG_SZ with its terminator counted gives in a dump.
inline std::string StringLine(const std::string& keyLabel, const std::wstring& name, const std::wstring& text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return ValueText(keyLabel, name, REG_SZ, std::vector<BYTE>(bytes, bytes + TextBytes(text)));
}

inline LONG SetValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                     DWORD size)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data),
                            size);
    RegCloseKey(key);
    return status;
}

inline LONG SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    return SetValue(root, path, name, REG_SZ, text.c_str(), TextBytes(text));
}

inline LONG SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value)
{
    return SetValue(root, path, name, REG_DWORD, &value, sizeof(value));
}

inline LONG MakeKey(HKEY root, const std::wstring& path, DWORD options = 0)
{
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
    return status;
}

// Removes root\path with everything below it; true when it is gone.
inline bool RemoveKey(HKEY root, const std::wstring& path)
{
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
    return !KeyExists(root, path);
}

// Access list for KeyLock: refusing KEY_READ keeps everyone from opening
// the key for reading and writing (so from walking its subkeys). WRITE_DAC
// stays granted.
const wchar_t DenyRead[] = L"D:(D;;KR;;;WD)(A;;KA;;;WD)";

// A key with the given access list while the lock lives; its own access list
// is put back afterwards.
class KeyLock {
public:
    KeyLock(HKEY root, const std::wstring& path, const wchar_t* sddl) : m_root(root), m_path(path), m_locked(false)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot open " << Utf8(path) << " to lock it";
            return;
        }
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        m_saved.resize(size);
        if (!size || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, m_saved.data(), &size) != ERROR_SUCCESS)
            m_saved.clear();
        PSECURITY_DESCRIPTOR lock = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &lock, nullptr)) {
            m_locked = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, lock) == ERROR_SUCCESS;
            LocalFree(lock);
        }
        RegCloseKey(key);
        if (!m_locked)
            ADD_FAILURE() << "cannot lock " << Utf8(path);
    }
    ~KeyLock() { Unlock(); }
    KeyLock(const KeyLock&) = delete;
    KeyLock& operator=(const KeyLock&) = delete;

    bool locked() const { return m_locked; }

    void Unlock()
    {
        if (!m_locked)
            return;
        m_locked = false;
        HKEY key = nullptr;
        if (RegOpenKeyExW(m_root, m_path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS)
            return;  // deleted meanwhile
        bool restored = !m_saved.empty() && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_saved.data()) ==
                                                ERROR_SUCCESS;
        PSECURITY_DESCRIPTOR open = nullptr;
        if (!restored &&
            ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;KA;;;WD)", SDDL_REVISION_1, &open, nullptr)) {
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, open);
            LocalFree(open);
        }
        RegCloseKey(key);
    }

private:
    HKEY m_root;
    std::wstring m_path;
    bool m_locked;
    std::vector<BYTE> m_saved;
};

// Handles open in this process, registry keys included. GetProcessHandleCount
// reports 0 under Wine 8.0 whatever is open, so the handle table is probed
// value by value instead (a test process stays far below 16384 handles).
inline int OpenHandleCount()
{
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

}  // namespace keytools
