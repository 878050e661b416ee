// Checks archive entry names before anything is written for them.
#pragma once

#include <string>

namespace standin {

constexpr size_t kMaxComponent = 255;
constexpr size_t kMaxRelativePath = 1024;

// Turns an entry name ("a/b.txt", "./x/") into a relative Windows path
// ("a\b.txt", "x"). Refuses absolute names, drive letters, "..", device names,
// characters Windows cannot store and overlong names; `why` says which.
bool SafeRelativePath(const std::wstring& name, std::wstring& out, std::wstring& why);

}  // namespace standin
