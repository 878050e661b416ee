#include "registry_scope.h"

namespace menuhost_test {

ScopedValue::ScopedValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                         const void* data, DWORD bytes)
    : root_(root), path_(path), name_(name)
{
    if (!CreateKeys())
        return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    RememberOld(key);
    ok_ = RegSetValueExW(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
}

ScopedValue::~ScopedValue()
{
    if (!createdTop_.empty()) {
        RegDeleteTreeW(root_, createdTop_.c_str());
        RegDeleteKeyW(root_, createdTop_.c_str());
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (hadValue_)
        RegSetValueExW(key, name_.c_str(), 0, oldType_, oldData_.data(), static_cast<DWORD>(oldData_.size()));
    else
        RegDeleteValueW(key, name_.c_str());
    RegCloseKey(key);
}

bool ScopedValue::CreateKeys()
{
    size_t start = 0;
    for (;;) {
        const size_t slash = path_.find(L'\\', start);
        const std::wstring partial = path_.substr(0, slash);
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(root_, partial.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        if (disposition == REG_CREATED_NEW_KEY && createdTop_.empty())
            createdTop_ = partial;
        if (slash == std::wstring::npos)
            return true;
        start = slash + 1;
    }
}

void ScopedValue::RememberOld(HKEY key)
{
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name_.c_str(), nullptr, &oldType_, nullptr, &bytes) != ERROR_SUCCESS)
        return;
    oldData_.resize(bytes);
    hadValue_ = RegQueryValueExW(key, name_.c_str(), nullptr, &oldType_, oldData_.data(), &bytes) == ERROR_SUCCESS;
    oldData_.resize(bytes);
}

}  // namespace menuhost_test
