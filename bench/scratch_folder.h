// Files for the benchmarks in the user's temporary folder, removed afterwards.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

std::wstring TempPath();  // GetTempPathW, with its final "\"

// A fresh folder under the temporary folder, removed with its contents.
class ScratchFolder {
public:
    explicit ScratchFolder(const wchar_t* tag);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// Removes a file or a folder with its contents; never follows a reparse point.
void RemoveTree(const std::wstring& path);
// Names (not paths) in a folder matching pattern, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder, const std::wstring& pattern = L"*");
// The temporary folder's MRV*.tmp files and folders: what the module names there.
std::vector<std::wstring> ModuleTempNames();
