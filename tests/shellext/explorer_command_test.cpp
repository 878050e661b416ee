// The entry of the Windows 11 menu (IExplorerCommand) through the built
// DLL. Wine has no packaged COM and no host for that menu: these tests are
// the host, calling what Explorer calls, with item arrays made by
// SHCreateShellItemArrayFromIDLists as Explorer hands a selection over
// (read item by item: Wine's arrays give no data object), or the tests' own
// that give their data object as Windows' arrays do.
// Whether Windows shows the entry, and where, can only be seen on Windows 11.
#include <gtest/gtest.h>

#include <regex>

#include "module/module.h"
#include "newmenu/explorer_command.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/explorer_commands.h"
#include "support/invoke.h"
#include "support/morvane_dll.h"
#include "support/platform_seams.h"
#include "support/standin.h"
#include "tools/tar_craft.h"

namespace {

const std::vector<std::wstring> EveryFormat = {L"lzh", L"zip", L"zip (pass)", L"bh", L"bz2", L"cab", L"gz",
                                               L"tar", L"tar.bz2", L"tar.gz", L"exe", L"uue", L"xxe", L"b64"};

class ExplorerCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        // Not named .tar: converted into .tar it would name itself, which is refused.
        source = folder / L"s.archive";
        WriteBytes(source, standin_test::TarMember("x.txt", '0', "x") + standin_test::TarEnd());
        other = folder / L"other file.txt";
        WriteBytes(other, "other");
    }

    // The classic menu's item for code: offset code - 1 in the full context menu.
    void InvokeClassic(const std::vector<std::wstring>& paths, int code, UINT items)
    {
        ComPtr<IShellExtInit> init = Dll().CreateInit();
        ASSERT_EQ(init->Initialize(nullptr, ShellDataObject(paths).get(), nullptr), S_OK);
        ComPtr<IContextMenu> menu;
        init->QueryInterface(IID_IContextMenu, menu.put_void());
        HMENU host = CreatePopupMenu();
        EXPECT_EQ(menu->QueryContextMenu(host, 0, 1, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(0, 0, items));
        DestroyMenu(host);
        ASSERT_EQ(InvokeOffset(menu.get(), static_cast<UINT>(code - 1)), S_OK);
    }

    // What the archiver saw in its runs first to first + count, with the
    // temporary names (different in every run) masked.
    std::vector<std::string> Runs(const std::vector<standin_log::Record>& records, size_t first, size_t count)
    {
        const std::regex temporary("MRV[0-9A-Fa-f]{1,4}\\.tmp", std::regex::icase);
        std::vector<std::string> runs;
        for (size_t i = first; i < first + count && i < records.size(); ++i)
            runs.push_back(std::regex_replace(records[i].cmdline + "\ncwd " + records[i].cwd + "\nlist " +
                                                  records[i].listbytes,
                                              temporary, "MRV#.tmp"));
        return runs;
    }

    SettingsScope settings;
    StandinScope standin;
    TempFolder folder;
    std::wstring source;
    std::wstring other;
};

const std::wstring ExtractCommands =
    L"    デスクトップに解凍\n    ここに解凍\n    出力先を指定して解凍\n    テンポラリモードで解凍\n";

// The entries follow their switches, read anew on every call, and the
// compress popup's format test: a format stored as a string is not enabled.
TEST_F(ExplorerCommandTest, OneRootOpensTheEntriesTheSwitchesTurnOn)
{
    ComPtr<IShellItemArray> one = ItemArray({source});
    ComPtr<IShellItemArray> two = ItemArray({source, other});
    EXPECT_EQ(DescribeCommands(one.get()), L"Morvane: hidden\n");

    SettingsScope::SetDword(ShellKey, L"m_chkCMExtract", 1);
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
    SettingsScope::SetString(CompressMenuKey, L"zip", L"1");
    EXPECT_EQ(DescribeCommands(one.get()), L"Morvane\n  解凍\n" + ExtractCommands + L"  圧縮: hidden\n  変換: hidden\n");
    EXPCMDSTATE state = ECS_ENABLED;
    EXPECT_EQ(CreateRootCommand()->GetState(one.get(), FALSE, &state), E_PENDING) << "the items' attributes take time";

    SettingsScope::SetDword(CompressMenuKey, L"tar.gz", 1);
    SettingsScope::SetDword(CompressMenuKey, L"b64", 1);
    SettingsScope::SetDword(ExtensionKey, L"AdditionalMenu", 1);
    EXPECT_EQ(DescribeCommands(two.get()), L"Morvane\n  解凍\n" + ExtractCommands +
                                               L"  圧縮\n    .tar.gz\n    .b64\n  変換: hidden\n")
        << "conversion takes one item";
    SettingsScope::EnableMenus(EveryFormat);
    EXPECT_EQ(DescribeCommands(one.get()),
              L"Morvane\n  解凍\n" + ExtractCommands +
                  L"  圧縮\n    .lzh\n    .zip\n    .zip (pass)\n    .bh\n    .bz2\n    .cab\n    .gz\n    .tar\n"
                  L"    .tar.bz2\n    .tar.gz\n    .exe\n    .uue\n    .xxe\n    .b64\n"
                  L"  変換\n    .lzh\n    .zip\n    .cab\n    .tar\n    .tar.bz2\n    .tar.gz\n    .exe\n");
    EXPECT_EQ(DescribeCommands(nullptr), L"Morvane: hidden\n");

    SettingsScope::SetDword(ShellKey, L"m_chkCMExtract", 0);
    SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 0);
    EXPECT_EQ(DescribeCommands(one.get()), L"Morvane: hidden\n") << "the drag-and-drop switches do not count";
}

// A selection holding an item with no file-system path (the Control Panel)
// hides the root; picked anyway, a command runs nothing, nor for a missing array.
TEST_F(ExplorerCommandTest, ItemWithoutAFileSystemPathHidesTheRootAndRunsNothing)
{
    SettingsScope::EnableMenus(EveryFormat);
    PIDLIST_ABSOLUTE controls = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_CONTROLS, &controls), S_OK);
    IdList file(source);
    PCIDLIST_ABSOLUTE ids[2] = {file.get(), controls};
    ComPtr<IShellItemArray> items;
    ASSERT_EQ(SHCreateShellItemArrayFromIDLists(2, ids, items.put()), S_OK);
    CoTaskMemFree(controls);
    EXPECT_EQ(DescribeCommands(items.get()), L"Morvane: hidden\n");
    const std::vector<std::wstring> before = MrvEntries();
    ComPtr<IExplorerCommand> zip = FindCommand(L"圧縮/.zip");
    ASSERT_TRUE(zip);
    EXPECT_TRUE(FAILED(zip->Invoke(items.get(), nullptr)));
    EXPECT_TRUE(FAILED(zip->Invoke(nullptr, nullptr)));
    EXPECT_TRUE(standin.Records().empty());
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty()) << "no list file left behind";
}

TEST_F(ExplorerCommandTest, EnumeratorHonoursItsCountAndStartsOverOnReset)
{
    ComPtr<IEnumExplorerCommand> subs;
    const ComPtr<IExplorerCommand> extract = FindCommand(L"解凍");
    ASSERT_TRUE(extract);
    ASSERT_EQ(extract->EnumSubCommands(subs.put()), S_OK);
    IExplorerCommand* batch[6] = {};
    ULONG fetched = 0;
    EXPECT_EQ(subs->Next(3, batch, &fetched), S_OK);
    EXPECT_EQ(fetched, 3u);
    EXPECT_EQ(subs->Next(3, batch + 3, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(batch[4], nullptr);
    EXPECT_EQ(subs->Next(2, batch + 4, nullptr), E_INVALIDARG) << "a count above one needs pceltFetched";
    ASSERT_EQ(subs->Reset(), S_OK);
    EXPECT_EQ(subs->Next(1, batch + 4, nullptr), S_OK);
    LPWSTR first = nullptr;
    ASSERT_EQ(batch[4]->GetTitle(nullptr, &first), S_OK);
    EXPECT_EQ(std::wstring(first), L"デスクトップに解凍");
    CoTaskMemFree(first);
    for (IExplorerCommand* sub : batch)
        if (sub)
            sub->Release();
}

// The root's icon, unquoted; the entries and commands have none.
TEST_F(ExplorerCommandTest, IconIsTheArchiversOwnWhenTheInstallFolderIsUsable)
{
    SettingsScope::EnableMenus(EveryFormat);
    ComPtr<IExplorerCommand> root = CreateRootCommand();
    LPWSTR icon = nullptr;
    ASSERT_EQ(root->GetIcon(nullptr, &icon), S_OK);
    EXPECT_EQ(std::wstring(icon), StandinScope::ArchiverPath() + L",0");
    CoTaskMemFree(icon);
    for (const ComPtr<IExplorerCommand>& command : {FindCommand(L"解凍"), FindCommand(L"圧縮/.zip"), root}) {
        ASSERT_TRUE(command);
        if (command.get() == root.get())
            SettingsScope::SetInstallPath(L"Morvane");
        icon = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(command->GetIcon(nullptr, &icon), E_NOTIMPL);
        EXPECT_EQ(icon, nullptr);
    }
}

// One command of each entry runs exactly what the classic menu's item of
// the same code runs: command line, working folder, list file bytes, and
// for a conversion both runs through rundll32. The archiver (or rundll32)
// has started when Invoke returns: nothing of the module runs on. Wine's own
// array for the first, the tests' with its data object for the others.
TEST_F(ExplorerCommandTest, CommandsRunTheClassicCommands)
{
    SettingsScope::EnableMenus(EveryFormat);
    struct Case {
        const wchar_t* titles;
        int code;
        std::vector<std::wstring> paths;
        size_t runs;
    };
    const Case cases[] = {{L"解凍/テンポラリモードで解凍", 4, {source}, 1},
                          {L"圧縮/.tar.gz", 14, {source, other}, 1},
                          {L"変換/.zip", 20, {source}, 2}};
    size_t seen = 0;
    for (const Case& c : cases) {
        ComPtr<IExplorerCommand> command = FindCommand(c.titles);
        ASSERT_TRUE(command);
        const long reads = PathItemReads();
        ASSERT_EQ(command->Invoke((seen ? PathItemArray(c.paths) : ItemArray(c.paths)).get(), nullptr), S_OK) << c.code;
        EXPECT_EQ(PathItemReads(), reads) << c.code << ": the paths come through the data object";
        command.reset();
        EXPECT_EQ(Dll().CanUnloadNow(), S_OK) << c.code;
        ASSERT_EQ(standin.WaitFor(seen + c.runs).size(), seen + c.runs) << c.code;
        // The conversion's output would make the classic run's name differ.
        DeleteFileW((folder / L"s.zip").c_str());
        InvokeClassic(c.paths, c.code, c.paths.size() == 1 ? 25 : 18);
        const std::vector<standin_log::Record> records = standin.WaitFor(seen + 2 * c.runs);
        ASSERT_EQ(records.size(), seen + 2 * c.runs) << c.code;
        EXPECT_EQ(Runs(records, seen, c.runs), Runs(records, seen + c.runs, c.runs)) << c.code;
        seen += 2 * c.runs;
    }
}

// A refusal's box outlives Invoke, which returns the refusal's failure. The
// box is owned by the site's window (none without a site); its thread holds
// the module until it is answered, all objects released before, and in the
// package's own surrogate the process too. Wine runs nothing in a package:
// its name comes through the seam, to the module's core linked here. The
// site's window is this thread's: it pumps messages as Explorer's window
// thread does, since the box disables and enables its owner.
TEST_F(ExplorerCommandTest, RefusalsBoxOutlivesInvokeAndHoldsTheModule)
{
    const auto pumped = [](auto predicate) {
        return [predicate] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            return predicate();
        };
    };
    // The surrogate's count of reasons to live, read by one up and down.
    const auto processCount = [] {
        const ULONG count = CoAddRefServerProcess();
        CoReleaseServerProcess();
        return count - 1;
    };
    SettingsScope::SetInstallPath(L"Morvane");
    WindowSite site;
    struct Case {
        bool site;
        const wchar_t* package;  // null: the DLL as built, in no package
        ULONG processHolds;
    };
    const Case cases[] = {{true, nullptr, 0},
                          {false, nullptr, 0},
                          {true, L"Brantix.MorvaneShellExtension_1.0.0.0_x64__8wekyb3d8bbwe", 1},
                          {true, L"Brantix.MorvaneShellExtensions_1.0.0.0_x64__8wekyb3d8bbwe", 0}};
    for (const Case& c : cases) {
        test_seams::AnswerPackageFullName(c.package);
        const auto held = [&c] {
            return c.package ? InterlockedCompareExchange(&ModuleLockCount, 0, 0) != 0 : Dll().CanUnloadNow() != S_OK;
        };
        {
            ComPtr<IExplorerCommand> root;
            if (c.package)
                ASSERT_EQ(CreateMorvaneCommand(IID_IExplorerCommand, root.put_void()), S_OK);
            ComPtr<IExplorerCommand> command = FindCommand(L"解凍/ここに解凍", root.get());
            ASSERT_TRUE(command);
            ComPtr<IObjectWithSite> withSite;
            ASSERT_EQ(command->QueryInterface(IID_IObjectWithSite, withSite.put_void()), S_OK);
            ASSERT_EQ(withSite->SetSite(c.site ? &site : nullptr), S_OK);
            EXPECT_EQ(command->Invoke(PathItemArray({source}).get(), nullptr), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
            withSite->SetSite(nullptr);
        }
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil(pumped([&] { return (box = WaitForMessageBox(L"Morvane", 0)) != nullptr; }), 10000));
        const SeenBox seen = DescribeBox(box);
        EXPECT_EQ(seen.text, L"Morvane のインストール先が見つかりません。Morvane をインストールし直してください。");
        EXPECT_EQ(seen.owner, c.site ? site.window : nullptr);
        EXPECT_TRUE(held()) << "the box's thread holds the module";
        EXPECT_EQ(processCount(), c.processHolds) << "only in the package's own surrogate";
        PressOk(box);
        EXPECT_TRUE(WaitUntil(pumped([&] { return !held(); }), 10000));
        EXPECT_EQ(processCount(), 0u);
    }
    test_seams::AnswerPackageFullName(nullptr);
    EXPECT_EQ(RefCount(&site), 1u) << "every holder let the site go";
    EXPECT_TRUE(standin.Records().empty());
}

}  // namespace
