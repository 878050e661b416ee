// Path and file helpers. Paths are plain Win32 paths; no fixed MAX_PATH buffers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace standin {

// Reads a whole file up to max_bytes; false if it cannot be opened or is larger.
bool ReadWholeFile(const std::wstring& path, std::string& out, uint64_t max_bytes);
bool WriteAll(HANDLE file, const void* data, size_t size);
bool ReadExact(HANDLE file, void* data, size_t size);

std::wstring FullPath(const std::wstring& path);
// Expands 8.3 components; returns the input when the path cannot be expanded.
std::wstring LongPath(const std::wstring& path);
std::wstring StripTrailingSlashes(std::wstring path);
std::wstring ParentDir(const std::wstring& path);
std::wstring BaseName(const std::wstring& path);
std::wstring StripExtension(const std::wstring& name);
std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);
bool SamePath(const std::wstring& a, const std::wstring& b);

bool IsDirectory(const std::wstring& path);
bool PathExists(const std::wstring& path);
bool CreateDirectories(const std::wstring& path);

int64_t UnixTimeFromFileTime(const FILETIME& ft);
FILETIME FileTimeFromUnix(int64_t seconds);

}  // namespace standin
