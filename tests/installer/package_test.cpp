// The installer packages under Wine's msiexec: what they write, what they
// leave, and how versions replace each other.
#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "installer/installer_support.h"
#include "support/key_tools.h"
#include "module/module.h"
#include "standin-archiver/standin_log.h"

using namespace installer_test;

namespace {

const wchar_t Neighbour[] = L"MorvaneInstallerTestNeighbour";
const wchar_t NeighbourClsid[] = L"{0E5C7A1B-94D2-4F63-8B0A-3C6D2E9F7A15}";
const wchar_t SettingsMarker[] = L"InstallerTestMarker";
const DWORD SettingsMarkerValue = 0x4D52;
const DWORD ChildTimeoutMs = 60000;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The DLL put back where the package had it, for regsvr32; gone again after.
class PlacedDll {
public:
    explicit PlacedDll(const std::wstring& target) : m_target(target)
    {
        m_madeFolder = CreateDirectoryW(InstallFolder().c_str(), nullptr) != FALSE;
        m_copied = CopyFileW(MORVANE_DLL, target.c_str(), TRUE) != FALSE;
    }
    ~PlacedDll()
    {
        if (m_copied)
            DeleteFileW(m_target.c_str());
        if (m_madeFolder)
            RemoveDirectoryW(InstallFolder().c_str());
    }
    bool ok() const { return m_copied; }

private:
    std::wstring m_target;
    bool m_madeFolder = false;
    bool m_copied = false;
};

struct ProbeResult {
    std::wstring hr;
    std::wstring module;
};

// A new host process creates the class as Explorer does.
ProbeResult Probe(const std::wstring& dll)
{
    ChildProcess probe;
    EXPECT_TRUE(probe.StartProbe(dll));
    EXPECT_EQ(probe.Wait(ChildTimeoutMs), 0u) << "the probe process failed or hung";
    const std::wstring text = probe.Result();
    const size_t bar = text.find(L'|');
    if (bar == std::wstring::npos) {
        ADD_FAILURE() << "the probe process wrote no result";
        return {};
    }
    return {text.substr(0, bar), text.substr(bar + 1)};
}

std::wstring BuiltMenuPackage() { return std::wstring(MORVANE_BUILD_DIR) + L"\\installer\\MorvaneX64-menu.msix"; }

// Wine's powershell.exe is a stub that does nothing and exits 0. The stand-in
// archiver takes its place while a test runs: it logs each run with its
// command line and fails (it gets no archiver command), as a PowerShell
// without the package cmdlets would.
class PowerShellStandIn {
public:
    PowerShellStandIn()
    {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        m_path = std::wstring(system) + L"\\WindowsPowerShell\\v1.0\\powershell.exe";
        m_log = m_path + L".log";
        m_saved = MoveFileExW(m_path.c_str(), (m_path + L".wine").c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        m_ok = CopyFileW(STANDIN_EXE, m_path.c_str(), FALSE) != FALSE;
        DeleteFileW(m_log.c_str());
        SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", m_log.c_str());
    }
    ~PowerShellStandIn()
    {
        SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
        SetEnvironmentVariableW(L"MORVANE_STANDIN_EXIT_CODE", nullptr);
        DeleteFileW(m_log.c_str());
        DeleteFileW(m_path.c_str());
        if (m_saved)
            MoveFileW((m_path + L".wine").c_str(), m_path.c_str());
    }
    bool ok() const { return m_ok; }
    // What PowerShell would exit with (an HRESULT in hexadecimal), for every later run.
    void ExitWith(const wchar_t* code) { SetEnvironmentVariableW(L"MORVANE_STANDIN_EXIT_CODE", code); }
    // The arguments of each run, after the program's own path (Wine's msi
    // writes it unquoted; Windows Installer may quote it).
    std::vector<std::string> Runs() const
    {
        const std::string program = "powershell.exe";
        std::vector<std::string> runs;
        for (const standin_log::Record& record : standin_log::ReadLog(m_log)) {
            const size_t at = record.cmdline.find(program);
            std::string arguments = at == std::string::npos ? record.cmdline : record.cmdline.substr(at + program.size());
            for (char skipped : {'"', ' '})
                if (!arguments.empty() && arguments[0] == skipped)
                    arguments.erase(0, 1);
            runs.push_back(arguments);
        }
        return runs;
    }

private:
    std::wstring m_path;
    std::wstring m_log;
    bool m_saved = false;
    bool m_ok = false;
};

// The build number Windows keeps in the registry, set for a test and put back.
class OsBuildScope {
public:
    OsBuildScope() { m_had = ReadString(HKEY_LOCAL_MACHINE, Key, Name, &m_old); }
    ~OsBuildScope()
    {
        if (m_had)
            Set(m_old);
    }
    bool Set(const std::wstring& build)
    {
        return RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, Name, REG_SZ, build.c_str(),
                               static_cast<DWORD>((build.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

private:
    static constexpr const wchar_t* Key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    static constexpr const wchar_t* Name = L"CurrentBuildNumber";
    bool m_had = false;
    std::wstring m_old;
};

// MorvaneMenuSetup.exe's log lines, without their time, emptied for the next call.
std::vector<std::string> TakeMenuSetupLog()
{
    PWSTR local = nullptr;
    EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local), S_OK);
    const std::wstring path = std::wstring(local ? local : L"") + L"\\Morvane\\MorvaneMenuSetup.log";
    CoTaskMemFree(local);
    std::vector<std::string> lines;
    const std::string text = FileBytes(path);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at).substr(std::min<size_t>(21, end - at)));  // "YYYY-MM-DD hh:mm:ssZ "
    DeleteFileW(path.c_str());
    return lines;
}

// The PowerShell command lines MorvaneMenuSetup.exe gives, after the program's path.
std::string PowerShellCommand(const std::string& script)
{
    return "-NoProfile -NonInteractive -ExecutionPolicy Bypass -Command \"try { " + script +
           " -ErrorAction Stop } catch { $c = $_.Exception.HResult; if (-not $c) { $c = 1 }; exit $c }\"";
}
const std::string RemoveCommand =
    PowerShellCommand("Get-AppxPackage -Name Brantix.MorvaneShellExtension | Remove-AppxPackage");

class Installer : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::wstring& package : {MainPackage(), SameVersionPackage(), UpgradePackage()})
            ASSERT_TRUE(FileExists(package)) << Narrow(package) << " not built";
        // A run that died half-way may have left a product behind.
        ASSERT_TRUE(UninstallAll());
        // Other test programs register the built DLL in this prefix; what
        // their unregistration left would be counted as the package's.
        const std::vector<std::string> before = OurEntries();
        if (!before.empty()) {
            std::cout << "[ note     ] removing entries of the class left before the test:\n" << Describe(before);
            RemoveOurEntries();
        }
        ASSERT_TRUE(OurEntries().empty()) << Describe(OurEntries());
        ASSERT_FALSE(FileExists(InstalledDll()));
        // Each handler list gets a neighbour, and so does the Approved list,
        // as on Windows, where every one of them holds the system's own
        // entries. Wine's msi deletes each key that an uninstall leaves
        // without values and subkeys, and its parents the same way (measured
        // on a fresh prefix: an empty HKCR\*\shellex\ContextMenuHandlers went,
        // and HKCR\* with it; the empty Approved key went with "Shell
        // Extensions"). A neighbour stops that at the list.
        for (const wchar_t* list : HandlerLists)
            ASSERT_TRUE(m_keys.SetString(HKEY_CLASSES_ROOT, std::wstring(list) + L"\\" + Neighbour, L"", NeighbourClsid));
        ASSERT_TRUE(m_keys.SetString(HKEY_LOCAL_MACHINE, ApprovedKey, NeighbourClsid, Neighbour));
    }

    void TearDown() override
    {
        EXPECT_TRUE(UninstallAll());
        const std::vector<std::string> after = OurEntries();
        EXPECT_TRUE(after.empty()) << "entries of ours after the test:\n" << Describe(after);
        m_keys.Remove();
        RemoveMsiexecLog();
    }

    static DWORD Install(const std::wstring& package) { return Msiexec(L"/i " + Quoted(package)); }

    KeyScope m_keys;
};

}  // namespace

TEST(InstallerPackage, IsPerMachine64BitAndNeverAsksForARestart)
{
    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromString(Clsid, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MorvaneShellExt)) << "the tests' class is not the module's";

    for (const std::wstring& package : {MainPackage(), SameVersionPackage(), UpgradePackage()}) {
        SCOPED_TRACE(Narrow(package));
        ASSERT_TRUE(FileExists(package));
        EXPECT_EQ(PackageTemplate(package), L"x64;1033");
        EXPECT_EQ(PackageProperty(package, L"ALLUSERS"), L"1");
        EXPECT_EQ(PackageProperty(package, L"UpgradeCode"), UpgradeCode);
        // No restart prompt, and no Restart Manager closing Explorer.
        EXPECT_EQ(PackageProperty(package, L"REBOOT"), L"ReallySuppress");
        EXPECT_EQ(PackageProperty(package, L"MSIRESTARTMANAGERCONTROL"), L"Disable");
        EXPECT_EQ(PackageQuery(package, L"SELECT `Directory_Parent` FROM `Directory` WHERE `Directory` = 'INSTALLDIR'"),
                  std::vector<std::wstring>{L"ProgramFiles64Folder"});
        const std::vector<std::wstring> attributes = PackageQuery(package, L"SELECT `Attributes` FROM `Component`");
        ASSERT_FALSE(attributes.empty());
        for (const std::wstring& value : attributes)
            EXPECT_NE(_wtoi(value.c_str()) & 256, 0) << "a component that is not 64-bit";
        // Registry values are package data, not the DLL's own registration.
        EXPECT_TRUE(PackageQuery(package, L"SELECT `Name` FROM `_Tables` WHERE `Name` = 'SelfReg'").empty());
        EXPECT_EQ(PackageQuery(package, L"SELECT `Registry` FROM `Registry`").size(), 19u);
    }
    const PackageInfo main = ReadPackage(MainPackage());
    const PackageInfo same = ReadPackage(SameVersionPackage());
    const PackageInfo upgrade = ReadPackage(UpgradePackage());
    EXPECT_EQ(same.version, main.version);
    EXPECT_NE(same.productCode, main.productCode);
    EXPECT_NE(upgrade.productCode, main.productCode);
    EXPECT_NE(upgrade.version, main.version);
}

TEST_F(Installer, SilentInstallWritesWhatRegsvr32Writes)
{
    const std::wstring dll = InstalledDll();
    DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    ASSERT_TRUE(FileExists(dll));
    EXPECT_TRUE(FileBytes(dll) == FileBytes(MORVANE_DLL)) << "the installed file is not the built DLL";
    const std::vector<std::string> installed = OurEntries();
    EXPECT_EQ(installed, ExpectedEntries(dll)) << "after msiexec:\n" << Describe(installed);

    code = Msiexec(L"/x " + Quoted(MainPackage()));
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    ASSERT_TRUE(OurEntries().empty()) << Describe(OurEntries());
    ASSERT_FALSE(FileExists(dll));

    std::vector<std::string> registered;
    {
        PlacedDll placed(dll);
        ASSERT_TRUE(placed.ok());
        ASSERT_EQ(Regsvr32(Quoted(dll)), 0u);
        registered = OurEntries();
        EXPECT_EQ(Regsvr32(L"/u " + Quoted(dll)), 0u);
    }
    EXPECT_EQ(installed, registered) << "msiexec wrote:\n" << Describe(installed) << "regsvr32 wrote:\n"
                                     << Describe(registered);
    const std::vector<std::string> left = OurEntries();
    EXPECT_TRUE(left.empty()) << "regsvr32 /u left:\n" << Describe(left);
    RemoveOurEntries();
}

TEST_F(Installer, HostProcessCreatesTheExtensionAfterInstall)
{
    const std::wstring dll = InstalledDll();
    const ProbeResult before = Probe(dll);
    EXPECT_EQ(before.hr, L"80040154") << "the class was found before the install (REGDB_E_CLASSNOTREG expected)";

    const DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    const ProbeResult after = Probe(dll);
    EXPECT_EQ(after.hr, L"00000000") << "CoCreateInstance(IID_IContextMenu)";
    EXPECT_TRUE(SamePath(after.module, dll)) << "the host loaded " << Narrow(after.module);
}

TEST_F(Installer, SilentUninstallRemovesOurEntriesAndFileOnly)
{
    KeyScope settings;
    const std::wstring settingsKeys[] = {L"Software\\Quodle\\Morvane\\m_chkCompressMenu",
                                         L"Software\\Brantix\\Morvane_x64_shell_extension"};
    for (const std::wstring& key : settingsKeys)
        ASSERT_TRUE(settings.SetDword(HKEY_CURRENT_USER, key, SettingsMarker, SettingsMarkerValue));

    const PackageInfo package = ReadPackage(MainPackage());
    DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    ASSERT_EQ(OurEntries(), ExpectedEntries(InstalledDll()));
    ASSERT_TRUE(ProductInstalled(package.productCode));

    code = Msiexec(L"/x " + Quoted(MainPackage()));
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    EXPECT_TRUE(OurEntries().empty()) << Describe(OurEntries());
    EXPECT_FALSE(FileExists(InstalledDll()));
    EXPECT_FALSE(FolderExists(InstallFolder()));
    EXPECT_FALSE(ProductInstalled(package.productCode));
    EXPECT_TRUE(RelatedProducts().empty());

    for (const wchar_t* list : HandlerLists) {
        SCOPED_TRACE(Narrow(list));
        EXPECT_TRUE(installer_test::KeyExists(HKEY_CLASSES_ROOT, list));
        std::wstring neighbour;
        EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, std::wstring(list) + L"\\" + Neighbour, L"", &neighbour));
        EXPECT_EQ(neighbour, NeighbourClsid);
    }
    std::wstring approvedNeighbour;
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, ApprovedKey, NeighbourClsid, &approvedNeighbour));
    EXPECT_EQ(approvedNeighbour, Neighbour);
    for (const std::wstring& key : settingsKeys) {
        DWORD value = 0;
        EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, key, SettingsMarker, &value)) << Narrow(key);
        EXPECT_EQ(value, SettingsMarkerValue) << Narrow(key);
    }
}

TEST_F(Installer, UpgradeWhileTheOldDllIsLoaded)
{
    const std::wstring dll = InstalledDll();
    const PackageInfo older = ReadPackage(MainPackage());
    const PackageInfo newer = ReadPackage(UpgradePackage());
    DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    const FileId olderFile = IdentifyFile(dll);
    ASSERT_TRUE(olderFile.valid);

    // Explorer's part: a process with the old DLL mapped, for the whole upgrade.
    ChildProcess holder;
    ASSERT_TRUE(holder.StartHolder(dll));
    ASSERT_TRUE(holder.WaitLoaded(ChildTimeoutMs)) << "the holder did not load " << Narrow(dll);
    EXPECT_TRUE(SamePath(holder.Result(), dll));

    code = Install(UpgradePackage());
    std::cout << "[ upgrade  ] msiexec exit code with the old DLL loaded: " << code << std::endl;
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    EXPECT_FALSE(ProductInstalled(older.productCode));
    EXPECT_EQ(InstalledVersion(newer.productCode), newer.version);
    EXPECT_EQ(RelatedProducts(), std::vector<std::wstring>{newer.productCode});
    EXPECT_EQ(OurEntries(), ExpectedEntries(dll)) << Describe(OurEntries());
    EXPECT_TRUE(FileBytes(dll) == FileBytes(MORVANE_DLL));

    // A new host gets the extension while the old process still holds its copy.
    const ProbeResult probe = Probe(dll);
    EXPECT_EQ(probe.hr, L"00000000");
    EXPECT_TRUE(SamePath(probe.module, dll)) << Narrow(probe.module);

    // The older file: still the installed one (taken over), or moved aside
    // and due for deletion at the next restart. Never the newer file waiting
    // for a restart to come into place.
    std::vector<std::wstring> olderPending;
    for (const PendingRename& pending : PendingRenames()) {
        EXPECT_FALSE(SamePath(pending.target, dll)) << "the new DLL waits for a restart: " << Narrow(pending.source);
        if (pending.target.empty() && IdentifyFile(pending.source) == olderFile)
            olderPending.push_back(pending.source);
    }
    if (IdentifyFile(dll) == olderFile) {
        // Wine 8.0: removing the old product could not delete the mapped
        // file (DeleteFile fails on it, as on Windows) and msi does not move
        // it aside; the newer package carries the same bytes (same
        // MsiFileHash), so InstallFiles kept the file in place. Exit code 0,
        // nothing in PendingFileRenameOperations. Windows Installer instead
        // renames the in-use file, installs a fresh copy and returns 3010.
        std::cout << "[ upgrade  ] the old file stayed in place as the new product's file" << std::endl;
        EXPECT_TRUE(olderPending.empty());
    } else {
        std::cout << "[ upgrade  ] the old file was moved aside; pending deletions: " << olderPending.size()
                  << std::endl;
        EXPECT_FALSE(olderPending.empty()) << "the old file is neither in place nor due for deletion";
    }

    holder.Release();
    EXPECT_EQ(holder.Wait(ChildTimeoutMs), 0u);
    // No restart comes in a test: what waited for one goes now that nothing holds it.
    for (const std::wstring& path : olderPending)
        EXPECT_TRUE(DeleteFileW(path.c_str())) << Narrow(path);
    DropPendingRenames(olderPending);

    code = Msiexec(L"/x " + newer.productCode);
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    EXPECT_FALSE(FileExists(dll));
    EXPECT_TRUE(OurEntries().empty());
}

TEST_F(Installer, SecondInstallOfTheSameVersionLeavesOneProduct)
{
    const PackageInfo first = ReadPackage(MainPackage());
    const PackageInfo rebuilt = ReadPackage(SameVersionPackage());
    DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();

    // The same package again: maintenance of the installed product.
    code = Install(MainPackage());
    EXPECT_TRUE(InstallSucceeded(code)) << "second msiexec /i gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(RelatedProducts(), std::vector<std::wstring>{first.productCode});
    EXPECT_EQ(OurEntries(), ExpectedEntries(InstalledDll())) << Describe(OurEntries());
    EXPECT_TRUE(FileExists(InstalledDll()));

    // A rebuild of the same version (another ProductCode) replaces it.
    code = Install(SameVersionPackage());
    EXPECT_TRUE(InstallSucceeded(code)) << "msiexec /i of the rebuild gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(RelatedProducts(), std::vector<std::wstring>{rebuilt.productCode});
    EXPECT_FALSE(ProductInstalled(first.productCode));
    EXPECT_EQ(OurEntries(), ExpectedEntries(InstalledDll())) << Describe(OurEntries());
    EXPECT_TRUE(FileExists(InstalledDll()));
}

TEST_F(Installer, OlderVersionDoesNotReplaceANewerOne)
{
    const PackageInfo newer = ReadPackage(UpgradePackage());
    DWORD code = Install(UpgradePackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();

    code = Install(MainPackage());
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_INSTALL_FAILURE)) << LastMsiexecLog();
    EXPECT_EQ(RelatedProducts(), std::vector<std::wstring>{newer.productCode});
    EXPECT_EQ(InstalledVersion(newer.productCode), newer.version);
    EXPECT_EQ(OurEntries(), ExpectedEntries(InstalledDll())) << Describe(OurEntries());
    EXPECT_TRUE(FileExists(InstalledDll()));
}

// Wine has no package deployment: a stand-in in PowerShell's place logs what
// it was asked and fails. Active Setup's run at sign-in cannot be shown
// either: its entry is checked as written. Wine runs the commit action. No
// test makes msiexec roll back: Wine 8 ran the removal's rollback action but
// left the product half-registered (its next uninstallation put the files
// back), and ran the registration's rollback after the files were gone.
TEST_F(Installer, MenuPackageStepsRunMenuSetupAndTheAllUsersRemovalOnlyOnWindows11)
{
    PowerShellStandIn powerShell;
    ASSERT_TRUE(powerShell.ok());
    OsBuildScope build;
    TakeMenuSetupLog();
    const std::wstring folder = InstallFolder();
    // Active Setup's Version: the product's and the menu package's revision
    // (its manifest is stored in the package, not deflated).
    const std::string manifest = FileBytes(BuiltMenuPackage()), product = Narrow(ReadPackage(MainPackage()).version);
    const size_t at = manifest.find("Version=\"" + product + ".");
    ASSERT_NE(at, std::string::npos) << "the menu package's version does not start with " << product;
    std::string version = manifest.substr(at + 9, manifest.find('"', at + 9) - at - 9);
    std::replace(version.begin(), version.end(), '.', ',');
    const std::string key = "HKLM\\" + Narrow(ActiveSetupKey);
    const DWORD on = 1;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&on);
    const std::vector<std::string> activeSetup = {
        key, keytools::StringLine(key, L"", L"Morvane shell extension (x64)"),
        keytools::ValueText(key, L"IsInstalled", REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(on))),
        keytools::StringLine(key, L"StubPath", L"\"" + folder + L"\\MorvaneMenuSetup.exe\" /register"),
        keytools::StringLine(key, L"Version", std::wstring(version.begin(), version.end()))};

    // Windows 10 (19045): the program is installed beside the package and
    // skips; so does the removal, and the elevated removal does not run.
    ASSERT_TRUE(build.Set(L"19045"));
    DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    EXPECT_TRUE(FileBytes(folder + L"\\MorvaneX64-menu.msix") == FileBytes(BuiltMenuPackage()));
    EXPECT_TRUE(FileExists(folder + L"\\MorvaneX64-menu.png"));
    EXPECT_EQ(ActiveSetupEntry(), activeSetup) << Describe(ActiveSetupEntry());
    code = Msiexec(L"/x " + Quoted(MainPackage()));
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    const std::string skipped = "0x00000000 skipped: Windows build 19045 has no package menu (22000 and later)";
    EXPECT_EQ(TakeMenuSetupLog(), (std::vector<std::string>{"register " + skipped, "unregister " + skipped}));
    EXPECT_EQ(powerShell.Runs(), std::vector<std::string>{});

    // Windows 11: the build's own package is unsigned, so the program
    // refuses it; the user's removal and, once the uninstallation has
    // succeeded, the elevated one for every user run.
    ASSERT_TRUE(build.Set(L"22000"));
    code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(OurEntries(), ExpectedEntries(InstalledDll())) << Describe(OurEntries());
    code = Msiexec(L"/x " + Quoted(MainPackage()));
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(TakeMenuSetupLog(),
              (std::vector<std::string>{"register 0x800B0100 not registered, the package is not signed: " +
                                            Narrow(folder) + "\\MorvaneX64-menu.msix",
                                        "unregister 0x00000002 not removed"}));
    EXPECT_EQ(powerShell.Runs(),
              (std::vector<std::string>{RemoveCommand, "-NoProfile -NonInteractive -ExecutionPolicy Bypass -Command "
                                        "\"Get-AppxPackage -AllUsers -Name Brantix.MorvaneShellExtension | "
                                        "Remove-AppxPackage -AllUsers\""}));
    EXPECT_EQ(ActiveSetupEntry(), std::vector<std::string>{});
    EXPECT_FALSE(FolderExists(InstallFolder()));
}

// The program itself, from a folder whose name holds spaces, an apostrophe
// and a typographic one, with a package that carries a signature entry.
TEST(MenuSetup, RegistersItsFolderQuotedRetriesTheSameVersionAndRecordsActiveSetup)
{
    PowerShellStandIn powerShell;
    ASSERT_TRUE(powerShell.ok());
    OsBuildScope build;
    KeyScope keys;
    ASSERT_TRUE(keys.SetString(HKEY_LOCAL_MACHINE, ActiveSetupKey, L"Version", L"1,0,0,7"));
    RegDeleteKeyW(HKEY_CURRENT_USER, ActiveSetupKey);
    const std::wstring folder = InstallFolder() + L" O'Brien\u2019s tools", program = folder + L"\\MorvaneMenuSetup.exe";
    const std::wstring package = folder + L"\\MorvaneX64-menu.msix";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((std::wstring(MORVANE_BUILD_DIR) + L"\\MorvaneMenuSetup.exe").c_str(), program.c_str(), TRUE));
    ASSERT_TRUE(CopyFileW(BuiltMenuPackage().c_str(), package.c_str(), TRUE));
    TakeMenuSetupLog();
    const auto run = [&](const wchar_t* mode) { return installer_test::RunProcess(Quoted(program) + L" " + mode, 60000); };
    // Single-quoted for PowerShell (both quotation marks doubled), the folder without a final backslash.
    const std::string quoted = Narrow(InstallFolder()) + " O''Brien\u2019\u2019s tools";
    const std::string add = PowerShellCommand("Add-AppxPackage -Path '" + quoted + "\\MorvaneX64-menu.msix' -ExternalLocation '" + quoted + "'");
    std::wstring recorded;

    ASSERT_TRUE(build.Set(L"19045"));
    EXPECT_EQ(run(L"/register"), 0u);
    ASSERT_TRUE(build.Set(L"22000"));
    EXPECT_EQ(run(L"/register"), static_cast<DWORD>(TRUST_E_NOSIGNATURE));
    EXPECT_TRUE(CopyFileW((std::wstring(MORVANE_BUILD_DIR) + L"\\tests\\menu-package-signature-entry.msix").c_str(), package.c_str(), FALSE));
    EXPECT_EQ(run(L"/register"), 2u);  // the stand-in's own failure: no retry
    powerShell.ExitWith(L"80073CFB");
    EXPECT_EQ(run(L"/register"), 0x80073CFBu);  // removed and added again
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, ActiveSetupKey, L"Version", &recorded));
    powerShell.ExitWith(L"0");
    EXPECT_EQ(run(L"/register"), 0u);
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, ActiveSetupKey, L"Version", &recorded));
    EXPECT_EQ(recorded, L"1,0,0,7");
    EXPECT_EQ(run(L"/unregister"), 0u);
    EXPECT_FALSE(installer_test::KeyExists(HKEY_CURRENT_USER, ActiveSetupKey));

    EXPECT_EQ(powerShell.Runs(), (std::vector<std::string>{add, add, RemoveCommand, add, add, RemoveCommand}));
    const std::string where = ": " + Narrow(folder);
    EXPECT_EQ(TakeMenuSetupLog(),
              (std::vector<std::string>{
                  "register 0x00000000 skipped: Windows build 19045 has no package menu (22000 and later)",
                  "register 0x800B0100 not registered, the package is not signed: " + Narrow(package),
                  "register 0x00000002 not registered" + where,
                  "register 0x80073CFB not registered after removing the same version" + where,
                  "register 0x00000000 registered" + where, "unregister 0x00000000 removed"}));
    DeleteFileW(program.c_str());
    DeleteFileW(package.c_str());
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}
