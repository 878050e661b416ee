#include "fs_util.h"

#include <vector>

#include "text.h"
#include "win_handle.h"

namespace standin {

bool WriteAll(HANDLE file, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

bool ReadExact(HANDLE file, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(file, p, chunk, &got, nullptr) || got == 0) return false;
    p += got;
    size -= got;
  }
  return true;
}

bool ReadWholeFile(const std::wstring& path, std::string& out, uint64_t max_bytes) {
  out.clear();
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || static_cast<uint64_t>(size.QuadPart) > max_bytes)
    return false;
  out.resize(static_cast<size_t>(size.QuadPart));
  return out.empty() || ReadExact(file.Get(), &out[0], out.size());
}

std::wstring FullPath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::vector<wchar_t> buf(n + 1);
  n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
  if (n == 0 || n >= buf.size()) return path;
  return std::wstring(buf.data(), n);
}

std::wstring LongPath(const std::wstring& path) {
  DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::vector<wchar_t> buf(n + 1);
  n = GetLongPathNameW(path.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return path;
  return std::wstring(buf.data(), n);
}

static bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring StripTrailingSlashes(std::wstring path) {
  // Keep the slash of a drive root ("C:\") so it still names the root.
  while (path.size() > 1 && IsSlash(path.back()) && !(path.size() == 3 && path[1] == L':'))
    path.pop_back();
  return path;
}

std::wstring ParentDir(const std::wstring& path) {
  std::wstring p = StripTrailingSlashes(path);
  size_t cut = p.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return L".";
  if (cut == 2 && p[1] == L':') return p.substr(0, 3);
  if (cut == 0) return p.substr(0, 1);
  return p.substr(0, cut);
}

std::wstring BaseName(const std::wstring& path) {
  std::wstring p = StripTrailingSlashes(path);
  size_t cut = p.find_last_of(L"\\/:");
  return cut == std::wstring::npos ? p : p.substr(cut + 1);
}

std::wstring StripExtension(const std::wstring& name) {
  size_t dot = name.find_last_of(L'.');
  // A leading dot (".profile") is a name, not an extension.
  if (dot == std::wstring::npos || dot == 0) return name;
  return name.substr(0, dot);
}

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) {
  if (dir.empty()) return name;
  if (IsSlash(dir.back())) return dir + name;
  return dir + L"\\" + name;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return EqualsNoCase(StripTrailingSlashes(LongPath(FullPath(a))),
                      StripTrailingSlashes(LongPath(FullPath(b))));
}

bool IsDirectory(const std::wstring& path) {
  DWORD attr = GetFileAttributesW(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateDirectories(const std::wstring& path) {
  std::wstring p = StripTrailingSlashes(path);
  if (p.empty()) return false;
  if (IsDirectory(p)) return true;
  std::wstring parent = ParentDir(p);
  if (parent != p && !CreateDirectories(parent)) return false;
  return CreateDirectoryW(p.c_str(), nullptr) || IsDirectory(p);
}

// FILETIME counts 100 ns ticks from 1601; Unix time counts seconds from 1970.
static const int64_t kEpochDelta = 116444736000000000LL;

int64_t UnixTimeFromFileTime(const FILETIME& ft) {
  int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return (ticks - kEpochDelta) / 10000000LL;
}

FILETIME FileTimeFromUnix(int64_t seconds) {
  // Archive times are untrusted: clamp to 1970..9999 so the arithmetic cannot overflow.
  if (seconds < 0) seconds = 0;
  if (seconds > 253402300799LL) seconds = 253402300799LL;
  uint64_t ticks = static_cast<uint64_t>(seconds * 10000000LL + kEpochDelta);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

}  // namespace standin
