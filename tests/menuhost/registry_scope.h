// One registry value set for a test and put back afterwards: the old value
// restored, or the value deleted, and every key made for it removed.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace menuhost_test {

class ScopedValue {
public:
    ScopedValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                DWORD bytes);
    ~ScopedValue();
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;
    bool ok() const { return ok_; }

private:
    bool CreateKeys();  // one component at a time, to know the first one made
    void RememberOld(HKEY key);

    HKEY root_;
    std::wstring path_;
    std::wstring name_;
    std::wstring createdTop_;  // empty: every key was there before
    bool hadValue_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> oldData_;
    bool ok_ = false;
};

}  // namespace menuhost_test
