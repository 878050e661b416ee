// Faults from outside: an allocation failing at every point of a menu and
// a command, the archiver missing, a rundll32.exe planted in the current
// folder and on PATH, settings that cannot be read.
#include <gtest/gtest.h>

#include <algorithm>

#include <aclapi.h>  // before sddl.h, which needs its declarations under WIN32_LEAN_AND_MEAN
#include <sddl.h>

#include "hardening/hardening_support.h"
#include "module/module.h"
#include "newmenu/explorer_command.h"
#include "newmenu/sub_command_enum.h"
#include "standin-archiver/standin_log.h"
#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/explorer_commands.h"
#include "support/invoke.h"
#include "support/menu_tree.h"
#include "support/morvane_dll.h"
#include "support/seed_tables.h"
#include "support/selection.h"
#include "support/standin.h"
#include "support/test_allocator.h"
#include "tools/tar_craft.h"

namespace {

using hardening::ScopedVariable;

const DWORD ChildLimitMs = 60000;

// Verb offsets in the full context menu: four extract items, fourteen
// formats, seven conversion targets.
const UINT TestArchiveOffset = 3;  // code 4, "/t": the stand-in only reads the archive
const UINT ConvertToLzhOffset = 18;  // code 19

HRESULT Invoke(IShellExtInit* object, UINT offset)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_HIDE;
    return AsMenu(object)->InvokeCommand(&info);
}

// Conversions start rundll32 on the module that ModuleInstance names; in
// this executable the module code is linked in, so it names the built DLL
// for the scope.
class BuiltDllAsModule {
public:
    BuiltDllAsModule() : m_saved(ModuleInstance) { ModuleInstance = Dll().module(); }
    ~BuiltDllAsModule() { ModuleInstance = m_saved; }
    BuiltDllAsModule(const BuiltDllAsModule&) = delete;
    BuiltDllAsModule& operator=(const BuiltDllAsModule&) = delete;

private:
    HINSTANCE m_saved;
};

class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        ASSERT_TRUE(Exists(STANDIN_EXE)) << "build the stand-in archiver";
        SettingsScope::EnableMenus(seed::EveryFormat());
        SettingsScope::SetInstallPath(StandinScope::Folder());
        WriteBytes(source, standin_test::TarMember("a.txt", '0', "a") + standin_test::TarEnd());
    }
    void TearDown() override
    {
        test_alloc::FailAt(0);
        for (const wchar_t* image : {L"Morvane.exe", L"rundll32.exe"})
            if (!hardening::WaitForChildren(image, ChildLimitMs)) {
                ADD_FAILURE() << "still running: " << Utf8(image);
                hardening::EndChildren(image);
            }
    }

    enum Stage { Create, Initialize, Query, Command, Done };

    // One pass with the nth allocation failing (0: none). Returns the stage
    // that failed, or Done; every failure must be a failure HRESULT that
    // leaves the host's menu as it was.
    Stage Pass(long n, UINT offset, bool* injected)
    {
        HostMenu menu;
        Stage stage = Create;
        test_alloc::Reset();
        test_alloc::FailAt(n);
        {
            ComPtr<IShellExtInit> object = NewCoreObject();
            if (object) {
                stage = Initialize;
                ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle({source}, true));
                HRESULT hr = object->Initialize(nullptr, data.get(), nullptr);
                if (SUCCEEDED(hr)) {
                    stage = Query;
                    hr = AsMenu(object.get())->QueryContextMenu(menu.get(), 0, FirstId, LastId, CMF_NORMAL);
                    if (SUCCEEDED(hr)) {
                        EXPECT_EQ(hr, MAKE_HRESULT(0, 0, 25)) << n;
                        stage = Command;
                        hr = Invoke(object.get(), offset);
                        if (SUCCEEDED(hr))
                            stage = Done;
                    }
                }
                // Every stage that ran out of memory says so (a command too: not a write fault).
                if (stage != Done)
                    EXPECT_EQ(hr, E_OUTOFMEMORY) << "allocation " << n << ", stage " << stage;
                if (stage == Initialize || stage == Query) {
                    EXPECT_EQ(DescribeMenu(menu.get()), HostMenu::Untouched()) << "allocation " << n;
                }
            }
        }
        *injected = test_alloc::Allocations() >= n && n > 0;
        test_alloc::FailAt(0);
        return stage;
    }

    void RunEveryFailurePoint(UINT offset, const wchar_t* childImage, size_t records)
    {
        const long live = test_alloc::LiveBlocks();
        long failures = 0;
        for (long n = 1; n < 1000; ++n) {
            bool injected = false;
            const Stage stage = Pass(n, offset, &injected);
            EXPECT_EQ(test_alloc::LiveBlocks(), live) << "allocation " << n << " leaked";
            if (!injected) {
                ASSERT_EQ(stage, Done) << "no failure injected, yet the command failed";
                break;
            }
            ++failures;
            EXPECT_NE(stage, Done) << "allocation " << n << " failed unnoticed";
            // Nothing started, so nothing may be left.
            EXPECT_TRUE(MrvEntries(temp.path()).empty()) << "allocation " << n;
            EXPECT_TRUE(standin_log::ReadLog(log).empty()) << "allocation " << n;
        }
        // The pass without a failure started the command: it owns its files until it ends.
        std::vector<standin_log::Record> got;
        EXPECT_TRUE(standin_log::WaitForRecords(log, records, ChildLimitMs, &got)) << got.size() << " records";
        EXPECT_TRUE(hardening::WaitForChildren(childImage, ChildLimitMs));
        EXPECT_TRUE(hardening::WaitForChildren(L"Morvane.exe", ChildLimitMs));
        EXPECT_EQ(standin_log::ReadLog(log).size(), records);
        EXPECT_TRUE(MrvEntries(temp.path()).empty());
        EXPECT_GE(failures, 5);
        printf("failure points: %ld\n", failures);
        ::testing::Test::RecordProperty("failure points", static_cast<int>(failures));
    }

    SettingsScope settings;
    TempFolder work{L"faults"};
    TempFolder temp{L"faults-tmp"};
    std::wstring source = work / L"a.tar";
    std::wstring log = work / L"standin.log";
    ScopedVariable tmp{L"TMP", temp.path()};
    ScopedVariable logVariable{L"MORVANE_STANDIN_LOG", log};
};

TEST_F(FaultInjection, EveryAllocationFailingInAMenuAndAnArchiverCommand)
{
    RunEveryFailurePoint(TestArchiveOffset, L"Morvane.exe", 1);
}

// The conversion goes through rundll32 and the built DLL, which then runs
// the stand-in twice (extract, compress).
TEST_F(FaultInjection, EveryAllocationFailingInAMenuAndAConversion)
{
    BuiltDllAsModule module;
    RunEveryFailurePoint(ConvertToLzhOffset, L"rundll32.exe", 2);
    EXPECT_TRUE(Exists(work / L"a.lzh"));
}

// The stand-in's log as it was when the failing allocation was made.
const wchar_t* g_watchedLog = nullptr;
LONGLONG g_logSizeAtFailure = -1;

LONGLONG FileSize(const wchar_t* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void NoteLogSize()
{
    g_logSizeAtFailure = FileSize(g_watchedLog);
}

// The worker's own part (rundll32's, called here in-process), with the nth
// allocation failing: wherever that is, it stops there. Nothing leaks, no
// archiver run starts after the failure (the stand-in's log does not grow),
// and the temporary folder goes unless its own removal was what failed.
// The checks before the first run, the same-file check among them, must
// stop it too: a failure taken for "not the same file" would run the archiver.
TEST_F(FaultInjection, EveryAllocationFailingInTheWorker)
{
    g_watchedLog = log.c_str();
    test_alloc::OnFailure(NoteLogSize);
    const long live = test_alloc::LiveBlocks();
    long failures = 0;
    for (long n = 1; n < 1000; ++n) {
        DeleteFileW(log.c_str());
        DeleteFileW((work / L"a.lzh").c_str());
        g_logSizeAtFailure = -1;
        bool injected = false;
        {
            ComPtr<IShellExtInit> object = NewCoreObject();
            ASSERT_TRUE(object);
            test_alloc::Reset();
            test_alloc::FailAt(n);
            AsShellExt(object.get())->ConvertArchive(19, source.c_str(), nullptr);
            injected = test_alloc::Allocations() >= n;
            test_alloc::FailAt(0);
        }
        EXPECT_EQ(test_alloc::LiveBlocks(), live) << "allocation " << n << " leaked";
        const size_t runs = standin_log::ReadLog(log).size();
        if (!injected) {
            EXPECT_EQ(runs, 2u) << "no failure injected";
            EXPECT_TRUE(MrvEntries(temp.path()).empty());
            break;
        }
        ++failures;
        EXPECT_EQ(FileSize(log.c_str()), g_logSizeAtFailure) << "allocation " << n << ": a run after the failure";
        if (runs < 2)
            EXPECT_TRUE(MrvEntries(temp.path()).empty()) << "allocation " << n;
        for (const std::wstring& left : MrvEntries(temp.path()))
            RemoveTree(temp / left);
    }
    test_alloc::OnFailure(nullptr);
    EXPECT_TRUE(Exists(work / L"a.lzh"));
    EXPECT_GE(failures, 5);
    printf("failure points: %ld\n", failures);
}

// A command of the Windows 11 menu with the nth allocation failing in
// Invoke, which runs the whole command, on items of every kind the capture
// handles (through the array's data object, or item by item where it fails):
// a plain path, one past 259 units (its short form looked up at the end), a
// name Win32 reads as another ("a."), a path twice. Each round leaves no
// block, no list, no box and the module count at zero: memory running out is
// no refusal to tell, and Invoke's result.
TEST_F(FaultInjection, EveryAllocationFailingInANewMenuCommand)
{
    const std::wstring deep = hardening::MakeFolderOfLength(L"\\\\?\\" + work.path(), 4 + 280).substr(4);
    const std::vector<std::wstring> paths = {source, deep + L"\\x.txt", work / L"a.", source};
    for (size_t i = 1; i < 3; ++i)
        WriteBytes(L"\\\\?\\" + paths[i], "x");
    ComPtr<IShellItemArray> items = PathItemArray(paths);
    BoxAnswerer answerer;
    const long live = test_alloc::LiveBlocks();
    long failures = 0;
    for (long n = 1; n < 1000; ++n) {
        HRESULT hr = E_FAIL;
        {
            ComPtr<IExplorerCommand> root;
            ASSERT_EQ(CreateMorvaneCommand(IID_IExplorerCommand, root.put_void()), S_OK);
            ComPtr<IExplorerCommand> zip = FindCommand(L"圧縮/.zip", root.get());
            ASSERT_TRUE(zip);
            test_alloc::Reset();
            test_alloc::FailAt(n);
            hr = zip->Invoke(items.get(), nullptr);
        }
        ASSERT_TRUE(WaitUntil([] { return InterlockedCompareExchange(&ModuleLockCount, 0, 0) == 0; }, ChildLimitMs))
            << "allocation " << n << ": the module is held";
        const bool injected = test_alloc::Allocations() >= n;
        test_alloc::FailAt(0);
        EXPECT_EQ(test_alloc::LiveBlocks(), live) << "allocation " << n << " leaked";
        if (!injected) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        ++failures;
        EXPECT_EQ(hr, E_OUTOFMEMORY) << n;
        ASSERT_TRUE(answerer.Seen().empty()) << "allocation " << n << ": " << Utf8(answerer.Seen()[0].text);
        EXPECT_TRUE(MrvEntries(temp.path()).empty()) << "allocation " << n;
        EXPECT_TRUE(standin_log::ReadLog(log).empty()) << "allocation " << n;
    }
    std::vector<standin_log::Record> got;
    ASSERT_TRUE(standin_log::WaitForRecords(log, 1, ChildLimitMs, &got));
    EXPECT_EQ(std::count(got[0].listbytes.begin(), got[0].listbytes.end(), '\n'), 4) << got[0].listbytes;
    EXPECT_GE(failures, 8);
    printf("failure points: %ld\n", failures);
}

// The Windows 11 menu's enumerator running out of memory at each sub-command
// that Next makes: the ones already made go again, nothing is handed out,
// and the enumeration stays where it was (the last Next gets all 14).
TEST_F(FaultInjection, SubCommandEnumeratorOutOfMemoryInNextHandsOutNothing)
{
    CommandNode nodes[14];
    for (int i = 0; i < 14; ++i)
        nodes[i] = {CommandLevel::Command, MenuEntry::Compress,
                    {CompressFormatTable[i].label, CompressFormatTable[i].code}};
    ComPtr<IEnumExplorerCommand> commands;
    *commands.put() = CreateSubCommandEnum(nodes, 14, nullptr, CreateCommandObject);
    ASSERT_TRUE(commands);
    long failures = 0;
    for (long n = 1; n < 100; ++n) {
        IExplorerCommand* got[14] = {};
        ULONG fetched = 99;
        const long live = test_alloc::LiveBlocks();
        test_alloc::Reset();
        test_alloc::FailAt(n);
        const HRESULT hr = commands->Next(14, got, &fetched);
        const bool injected = test_alloc::Allocations() >= n;
        test_alloc::FailAt(0);
        if (!injected) {
            EXPECT_EQ(hr, S_OK);
            ASSERT_EQ(fetched, 14u);
            for (IExplorerCommand* command : got)
                command->Release();
            break;
        }
        ++failures;
        EXPECT_EQ(hr, E_OUTOFMEMORY) << n;
        EXPECT_EQ(fetched, 0u) << n;
        EXPECT_EQ(std::count(got, got + 14, nullptr), 14) << n;
        EXPECT_EQ(test_alloc::LiveBlocks(), live) << "allocation " << n << " leaked";
    }
    EXPECT_GE(failures, 14);
}

TEST_F(FaultInjection, MissingArchiverFailsEveryCommandAndLeavesNoList)
{
    TempFolder empty(L"noarchiver");
    SettingsScope::SetInstallPath(empty.path());
    for (int code = 0; code <= 18; ++code) {
        ComPtr<IShellExtInit> object = NewCoreObject();
        CShellExt* ext = AsShellExt(object.get());
        SetSelection(ext, {source});
        const HRESULT hr = ext->RunArchiverCommand(code);
        EXPECT_TRUE(FAILED(hr)) << "code " << code << std::hex << " " << hr;
        const std::vector<std::wstring> left = MrvEntries(temp.path());
        EXPECT_TRUE(left.empty()) << "code " << code << ": " << Utf8(left.empty() ? L"" : left[0]);
    }
    EXPECT_TRUE(ListFolder(empty.path()).empty());
    hardening::ReportCases(19);
}

// m_tbsShell denies reading to everyone: the menu is built with its four switches off.
TEST_F(FaultInjection, UnreadableSwitchKeyTurnsItsSwitchesOff)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, ShellKey, 0, READ_CONTROL | WRITE_DAC, &key), ERROR_SUCCESS);
    DWORD needed = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &needed);
    std::vector<BYTE> saved(needed ? needed : 1);
    const bool haveSaved = needed && RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data(), &needed) == ERROR_SUCCESS;
    PSECURITY_DESCRIPTOR deny = nullptr;
    // Everyone: reading denied; full access otherwise.
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;KR;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &deny, nullptr));
    const LONG set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, deny);
    LocalFree(deny);
    ASSERT_EQ(set, ERROR_SUCCESS);

    HKEY probe = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, ShellKey, 0, KEY_READ, &probe);
    if (opened == ERROR_SUCCESS)
        RegCloseKey(probe);

    HRESULT hr = E_FAIL;
    std::wstring items;
    if (opened != ERROR_SUCCESS) {
        ComPtr<IShellExtInit> object = NewCoreObject();
        ComPtr<IDataObject> data = HandMadeDataObject(BuildDropHandle({source}, true));
        EXPECT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
        HostMenu menu;
        hr = AsMenu(object.get())->QueryContextMenu(menu.get(), 0, FirstId, LastId, CMF_NORMAL);
        items = DescribeMenu(menu.get());
    }
    if (haveSaved)
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data());
    RegCloseKey(key);
    if (opened == ERROR_SUCCESS)
        GTEST_SKIP() << "this registry does not enforce a key's access list (Wine 8.0 opened a key that denies KEY_READ)";
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(items, HostMenu::Untouched());
}

// A conversion starts the system folder's rundll32 by its full path: a
// rundll32.exe in the current folder and on PATH (the stand-in under that
// name, which would log its run) is never the one started. Without a
// temporary folder (which only the worker needs) it shows its message and so
// stays to be looked at.
TEST_F(FaultInjection, ConversionStartsTheSystemFoldersRundll32WhateverTheCurrentFolderAndPath)
{
    TempFolder decoy(L"decoy");
    ASSERT_TRUE(CopyFileW(STANDIN_EXE, (decoy / L"rundll32.exe").c_str(), FALSE));
    wchar_t folder[MAX_PATH + 1] = {};
    ASSERT_TRUE(GetCurrentDirectoryW(MAX_PATH + 1, folder));
    HRESULT hr;
    {
        BuiltDllAsModule module;
        ScopedVariable path(L"PATH", decoy.path());
        ScopedVariable missingTemp(L"TMP", decoy / L"missing");
        SetCurrentDirectoryW(decoy.path().c_str());
        ComPtr<IShellExtInit> object = NewCoreObject();
        CShellExt* ext = AsShellExt(object.get());
        SetSelection(ext, {source});
        hr = ext->LaunchConversion(20);
        SetCurrentDirectoryW(folder);
    }
    ASSERT_EQ(hr, S_OK);
    const HWND box = WaitForMessageBox(L"Morvane", ChildLimitMs);
    ASSERT_NE(box, nullptr) << "no conversion worker showed its message";
    const std::vector<std::wstring> started = hardening::ChildImagePaths(L"rundll32.exe");
    PressOk(box);
    wchar_t system[MAX_PATH + 1] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH + 1), 0u);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(_wcsicmp(started[0].c_str(), (std::wstring(system) + L"\\rundll32.exe").c_str()), 0)
        << Utf8(started[0]);
    EXPECT_TRUE(hardening::WaitForChildren(L"rundll32.exe", ChildLimitMs));
    EXPECT_TRUE(standin_log::ReadLog(log).empty()) << "the rundll32.exe of the current folder or PATH ran";
}

}  // namespace
