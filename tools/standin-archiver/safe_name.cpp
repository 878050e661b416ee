#include "safe_name.h"

#include <vector>

#include "text.h"

namespace standin {

static bool Refuse(std::wstring& why, const wchar_t* reason) {
  why = reason;
  return false;
}

static bool IsDeviceName(const std::wstring& component) {
  std::wstring stem = ToLower(component.substr(0, component.find(L'.')));
  static const wchar_t* const kDevices[] = {L"con", L"prn", L"aux", L"nul"};
  for (const wchar_t* d : kDevices)
    if (stem == d) return true;
  if (stem.size() == 4 && (stem.compare(0, 3, L"com") == 0 || stem.compare(0, 3, L"lpt") == 0))
    return stem[3] >= L'0' && stem[3] <= L'9';
  return false;
}

static bool CheckComponent(const std::wstring& c, std::wstring& why) {
  if (c == L"..") return Refuse(why, L"parent folder reference");
  if (c.size() > kMaxComponent) return Refuse(why, L"name too long");
  for (wchar_t ch : c) {
    if (ch < 0x20 || std::wstring(L"<>\"|?*").find(ch) != std::wstring::npos)
      return Refuse(why, L"character not allowed in file names");
  }
  // Windows drops trailing dots and spaces, which would alias another name.
  if (c.back() == L'.' || c.back() == L' ') return Refuse(why, L"name ends in dot or space");
  if (IsDeviceName(c)) return Refuse(why, L"device name");
  return true;
}

bool SafeRelativePath(const std::wstring& name, std::wstring& out, std::wstring& why) {
  out.clear();
  if (name.empty()) return Refuse(why, L"empty name");
  if (name[0] == L'/' || name[0] == L'\\') return Refuse(why, L"absolute name");
  if (name.find(L':') != std::wstring::npos) return Refuse(why, L"drive or stream name");
  if (name.size() > kMaxRelativePath) return Refuse(why, L"name too long");
  std::vector<std::wstring> parts;
  std::wstring part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != L'/' && name[i] != L'\\') {
      part += name[i];
      continue;
    }
    if (!part.empty() && part != L".") {
      if (!CheckComponent(part, why)) return false;
      parts.push_back(part);
    }
    part.clear();
  }
  if (parts.empty()) return Refuse(why, L"empty name");
  for (const std::wstring& p : parts) out += (out.empty() ? L"" : L"\\") + p;
  return true;
}

}  // namespace standin
