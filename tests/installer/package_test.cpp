// The installer packages under Wine's msiexec: what they write, what they
// leave, and how versions replace each other.
#include <windows.h>
#include <objbase.h>

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
        DeleteFileW(m_log.c_str());
        DeleteFileW(m_path.c_str());
        if (m_saved)
            MoveFileW((m_path + L".wine").c_str(), m_path.c_str());
    }
    bool ok() const { return m_ok; }
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
// either: its entry is checked as written.
TEST_F(Installer, MenuPackageIsRegisteredFromWindows11OnAndUnregisteredOnRemoval)
{
    PowerShellStandIn powerShell;
    ASSERT_TRUE(powerShell.ok());
    OsBuildScope build;
    const std::wstring folder = InstallFolder() + L"\\";
    const std::string flags = "-NoProfile -NonInteractive -ExecutionPolicy Bypass -Command ";
    const std::wstring registration = std::wstring(flags.begin(), flags.end()) + L"\"Add-AppxPackage -Path '" +
                                      folder + L"MorvaneX64-menu.msix' -ExternalLocation '" + folder + L"'\"";
    const std::vector<std::string> expected = {
        Narrow(registration), flags + "\"Get-AppxPackage -Name Brantix.MorvaneShellExtension | Remove-AppxPackage\"",
        flags + "\"Get-AppxPackage -AllUsers -Name Brantix.MorvaneShellExtension | Remove-AppxPackage -AllUsers\""};
    // Active Setup's entry as the dump gives it: the key, then its values by name.
    std::wstring version = ReadPackage(MainPackage()).version, system(MAX_PATH, L'\0');
    std::replace(version.begin(), version.end(), L'.', L',');
    system.resize(GetSystemDirectoryW(&system[0], MAX_PATH));
    const std::string key = "HKLM\\" + Narrow(ActiveSetupKey);
    const auto activeSetup = [&](DWORD installed) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&installed);
        return std::vector<std::string>{
            key, keytools::StringLine(key, L"", L"Morvane shell extension (x64)"),
            keytools::ValueText(key, L"IsInstalled", REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(installed))),
            keytools::StringLine(key, L"StubPath",
                                 L"\"" + system + L"\\WindowsPowerShell\\v1.0\\powershell.exe\" -WindowStyle Hidden " +
                                     registration),
            keytools::StringLine(key, L"Version", version)};
    };

    // Windows 10 (19045): the package is installed beside the DLL, never
    // registered, and Active Setup's entry is off.
    ASSERT_TRUE(build.Set(L"19045"));
    DWORD code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    EXPECT_TRUE(FileBytes(folder + L"MorvaneX64-menu.msix") == FileBytes(BuiltMenuPackage()));
    EXPECT_TRUE(FileExists(folder + L"MorvaneX64-menu.png"));
    EXPECT_EQ(ActiveSetupEntry(), activeSetup(0)) << Describe(ActiveSetupEntry());
    code = Msiexec(L"/x " + Quoted(MainPackage()));
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(powerShell.Runs(), std::vector<std::string>{});

    // Windows 11: registered after the files and for every user at sign-in,
    // unregistered for the remover and then every user on removal; the
    // stand-in's failure fails nothing.
    ASSERT_TRUE(build.Set(L"22000"));
    code = Install(MainPackage());
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /i gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(powerShell.Runs(), std::vector<std::string>{expected[0]});
    EXPECT_EQ(OurEntries(), ExpectedEntries(InstalledDll())) << Describe(OurEntries());
    EXPECT_EQ(ActiveSetupEntry(), activeSetup(1)) << Describe(ActiveSetupEntry());
    code = Msiexec(L"/x " + Quoted(MainPackage()));
    ASSERT_TRUE(InstallSucceeded(code)) << "msiexec /x gave " << code << "\n" << LastMsiexecLog();
    EXPECT_EQ(powerShell.Runs(), expected);
    EXPECT_EQ(ActiveSetupEntry(), std::vector<std::string>{});
    EXPECT_FALSE(FolderExists(InstallFolder()));
}
