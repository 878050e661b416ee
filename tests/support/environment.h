// Files, folders, settings and processes for tests, on the real platform.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testkit/scratch_folder.h"
#include "testkit/settings_keys.h"

// OLE on the test's thread, once (apartment threaded, as Explorer's).
void EnsureOle();

// A fresh folder under the user's temporary folder, removed with its
// contents; named "mrvtest-..." (the tests that count the module's MRV*
// entries there pass over these).
class TempFolder : public ScratchFolder {
public:
    explicit TempFolder(const std::wstring& tag = L"t");
};

// Writes the file or fails the test.
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
void MakeFolder(const std::wstring& path);
std::wstring ShortPath(const std::wstring& path);
// Which file a path opens: volume and index; equal only when both were read.
struct FileId {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool valid = false;
    bool operator==(const FileId& o) const { return valid && o.valid && volume == o.volume && index == o.index; }
};
FileId IdentifyFile(const std::wstring& path);


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

    // These fail the test when the key cannot be made.
    static void SetDword(const std::wstring& key, const std::wstring& name, DWORD value);
    static void SetValue(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size);
    static void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& text);
    // Every menu switch on, AdditionalMenu on, the named formats enabled.
    static void EnableMenus(const std::vector<std::wstring>& formats);
    static void SetInstallPath(const std::wstring& folder);
};

bool KeyExists(HKEY root, const std::wstring& path);

// Under Wine, the drive letter M: for a folder of the prefix: a link in its
// dosdevices folder, as a mapped or subst drive gives one on Windows.
// Removed again with the scope; ok() is false when it could not be made.
class DriveLetterLink {
public:
    explicit DriveLetterLink(const std::wstring& folder);
    ~DriveLetterLink();
    DriveLetterLink(const DriveLetterLink&) = delete;
    DriveLetterLink& operator=(const DriveLetterLink&) = delete;
    bool ok() const { return m_ok; }

private:
    std::wstring m_link;
    bool m_ok = false;
};

// Runs a command line, waits at most timeoutMs; returns the exit code, or -1 on time-out.
int RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);
// The processes started from this one, and the ones they started, still running.
std::vector<DWORD> ProcessesStartedHere();
// Ends them: what a test left running.
void EndProcessesStartedHere();
