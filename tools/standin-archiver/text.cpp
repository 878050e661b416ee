#include "text.h"

#include <windows.h>

namespace standin {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

static std::wstring Decode(UINT cp, DWORD flags, const std::string& bytes, bool& ok) {
  ok = true;
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) {
    ok = false;
    return {};
  }
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return out;
}

bool FromUtf8(const std::string& bytes, std::wstring& out) {
  bool ok = false;
  out = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, ok);
  return ok;
}

std::wstring FromAnsi(const std::string& bytes) {
  bool ok = false;
  return Decode(CP_ACP, 0, bytes, ok);
}

std::wstring FromUtf8OrAnsi(const std::string& bytes) {
  std::wstring out;
  if (FromUtf8(bytes, out)) return out;
  return FromAnsi(bytes);
}

std::string HexLower(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::wstring ToLower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace standin
