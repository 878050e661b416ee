// Files, folders, settings and processes for tests, on the real platform.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// OLE on the test's thread, once (apartment threaded, as Explorer's).
void EnsureOle();

// A fresh folder under the user's temporary folder, removed with its contents.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& tag = L"t");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
void MakeFolder(const std::wstring& path);
void RemoveTree(const std::wstring& path);
// Names (not paths) in a folder, sorted, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder, const std::wstring& pattern = L"*");
std::wstring TempPath();  // GetTempPathW, with its final "\"
std::wstring ShortPath(const std::wstring& path);

std::string Utf8(const std::wstring& text);
// The Unix path of a Windows path under Wine; empty elsewhere.
std::string UnixPath(const std::wstring& path);
std::wstring Wide(const std::string& utf8);

// The per-user settings of the archiver and the extension, emptied for a
// test and removed again afterwards.
class SettingsScope {
public:
    SettingsScope();
    ~SettingsScope();
    SettingsScope(const SettingsScope&) = delete;
    SettingsScope& operator=(const SettingsScope&) = delete;

    static void SetDword(const std::wstring& key, const std::wstring& name, DWORD value);
    static void SetValue(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size);
    static void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& text);
    // Every menu switch on, AdditionalMenu on, the named formats enabled.
    static void EnableMenus(const std::vector<std::wstring>& formats);
    static void SetInstallPath(const std::wstring& folder);
};

// HKCU-relative key paths of the settings.
extern const wchar_t ShellKey[];         // Software\Quodle\Morvane\m_tbsShell
extern const wchar_t CompressMenuKey[];  // Software\Quodle\Morvane\m_chkCompressMenu
extern const wchar_t ExtensionKey[];     // Software\Brantix\Morvane_x64_shell_extension
extern const wchar_t ArchiverKey[];      // Software\Quodle\Morvane
bool KeyExists(HKEY root, const std::wstring& path);

// Runs a command line, waits at most timeoutMs; returns the exit code, or -1 on time-out.
int RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);
