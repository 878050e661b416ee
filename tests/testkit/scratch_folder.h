// Files and folders in the user's temporary folder for the tests and the
// benchmarks. Nothing here reports a failure: callers decide how to.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

std::wstring TempPath();  // GetTempPathW, with its final "\"

// A fresh folder under the temporary folder, removed with its contents.
// Named owner-tag-process-number, so that a leftover says who made it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag, const std::wstring& owner = L"mrvbench");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool made() const { return m_made; }
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
    bool m_made;
};

// False when the file cannot be made or not every byte was written.
bool TryWriteBytes(const std::wstring& path, const std::string& bytes);
// The whole file; empty when it cannot be opened.
std::string ReadBytes(const std::wstring& path);
// Removes a file or a folder with its contents; never follows a reparse point.
void RemoveTree(const std::wstring& path);
// Names (not paths) in a folder matching pattern, sorted, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder, const std::wstring& pattern = L"*");
