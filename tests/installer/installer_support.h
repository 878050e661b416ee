// Packages, msiexec, child processes and the registry entries of the
// extension, for the installer tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/environment.h"
#include "support/seed_tables.h"

namespace installer_test {

extern const wchar_t Clsid[];         // the class, as the registry spells it
extern const wchar_t Description[];   // the class's description
extern const wchar_t UpgradeCode[];   // shared by every version of the package
using seed::HandlerLists;  // HKCR-relative handler-list keys
extern const wchar_t ApprovedKey[];   // HKLM-relative

// Built packages, under <build>\installer.
std::wstring MainPackage();           // version V
std::wstring SameVersionPackage();    // version V, another ProductCode
std::wstring UpgradePackage();        // version V + 1 build

std::wstring InstallFolder();         // <64-bit Program Files>\Morvane
std::wstring InstalledDll();          // InstallFolder()\MorvaneX64.dll

// Runs a command line and waits at most timeoutMs. A process still running
// then is ended and the test fails; the result is then TimedOut.
constexpr DWORD TimedOut = 0xFFFFFFFF;
DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs);

// msiexec <arguments> /qn with a verbose log; the exit code.
DWORD Msiexec(const std::wstring& arguments);
std::string LastMsiexecLog();          // tail of the log of the last run, for messages
void RemoveMsiexecLog();
DWORD Regsvr32(const std::wstring& arguments);
bool InstallSucceeded(DWORD exitCode); // 0, or 3010 (a restart finishes the job)

// Package and product data through msi.dll.
struct PackageInfo {
    std::wstring productCode;
    std::wstring version;
};
PackageInfo ReadPackage(const std::wstring& msiPath);
std::wstring PackageProperty(const std::wstring& msiPath, const std::wstring& name);
// Rows of a one-column query on the package, in table order.
std::vector<std::wstring> PackageQuery(const std::wstring& msiPath, const std::wstring& sql);
std::wstring PackageTemplate(const std::wstring& msiPath);  // summary "Template" field
std::vector<std::wstring> RelatedProducts();                // product codes by UpgradeCode
bool ProductInstalled(const std::wstring& productCode);
std::wstring InstalledVersion(const std::wstring& productCode);
// Uninstalls every product of the UpgradeCode; false when one did not go.
bool UninstallAll();

// Everything of ours in the registry, one line a key or value, sorted, as
// keytools dumps them: "HKCR\<key>" or "<key> | <name> | <type> | <data> | <size>".
std::vector<std::string> OurEntries();
std::vector<std::string> ExpectedEntries(const std::wstring& dllPath);
// The Windows 11 menu's Active Setup entry, dumped the same way.
const wchar_t ActiveSetupKey[] =
    L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{9058CF24-FC57-484A-91FD-164A91A6644B}";
std::vector<std::string> ActiveSetupEntry();
// Deletes everything OurEntries() reports, whoever wrote it.
void RemoveOurEntries();
std::string Describe(const std::vector<std::string>& lines);

// Keys a test creates and removes again. Create() makes every missing key
// of the path and remembers those; Remove() deletes what it made (and the
// values it set), deepest first, and never a key that is not empty.
class KeyScope {
public:
    KeyScope() = default;
    ~KeyScope() { Remove(); }
    KeyScope(const KeyScope&) = delete;
    KeyScope& operator=(const KeyScope&) = delete;
    bool Create(HKEY root, const std::wstring& path);
    bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
    bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
    void Remove();

private:
    struct Made {
        HKEY root;
        std::wstring path;
        std::wstring value;  // empty: the key itself
        bool isValue;
    };
    std::vector<Made> m_made;
};

bool KeyExists(HKEY root, const std::wstring& path);
bool ReadDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value);
bool ReadString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring* text);

// Files.
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::string FileBytes(const std::wstring& path);

// PendingFileRenameOperations as (source, target) pairs, "\??\" taken off;
// a target of "" means delete at restart.
struct PendingRename {
    std::wstring source;
    std::wstring target;
};
std::vector<PendingRename> PendingRenames();
// Drops the pairs whose source is one of these paths (case-insensitive).
void DropPendingRenames(const std::vector<std::wstring>& sources);

bool SamePath(const std::wstring& a, const std::wstring& b);
std::string Narrow(const std::wstring& text);

// A second run of this test program in one of the roles of the
// InstallerChild test, which stands for Explorer and other hosts.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // "hold": loads dll, reports it, keeps it until Release().
    bool StartHolder(const std::wstring& dll);
    // "probe": CoCreateInstance of the class for IContextMenu, then exits.
    bool StartProbe(const std::wstring& expectedDll);
    bool WaitLoaded(DWORD timeoutMs);  // the holder has the DLL
    void Release();                     // the holder lets it go and exits
    // Waits for the exit; the exit code, or TimedOut (the child is ended).
    DWORD Wait(DWORD timeoutMs);
    std::wstring Result() const;        // what the child wrote before exiting

private:
    bool Start(const wchar_t* role, const std::wstring& dll);
    HANDLE m_process = nullptr;
    HANDLE m_loaded = nullptr;
    HANDLE m_release = nullptr;
    std::wstring m_resultFile;
};

// Environment names shared with the child.
extern const wchar_t ChildRoleVariable[];
extern const wchar_t ChildDllVariable[];
extern const wchar_t ChildLoadedVariable[];
extern const wchar_t ChildReleaseVariable[];
extern const wchar_t ChildResultVariable[];

}  // namespace installer_test
