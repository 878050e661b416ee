// Conversions end to end: the menu item picked through the built DLL, the
// real rundll32, the worker in its own process, the stand-in archiver.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

#include <shlobj.h>

#include "module/module.h"
#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/invoke.h"
#include "support/morvane_dll.h"
#include "support/selection.h"
#include "support/standin.h"
#include "tools/tar_craft.h"

namespace {

struct Target {
    int offset;  // in the conversion popup, the only popup with items here
    const wchar_t* formatSwitch;
    const wchar_t* extension;
};

const Target Targets[7] = {
    {0, L"/c:lzh", L".lzh"}, {1, L"/c:zip", L".zip"}, {2, L"/c:cab", L".cab"}, {3, L"/c:tar", L".tar"},
    {4, L"/c:tbz", L".tbz"}, {5, L"/c:tgz", L".tgz"}, {6, L"/x /c:zip", L".exe"},
};

const wchar_t NotAnArchiveText[] =
    L"変換元のファイルは、アーカイブファイルでないか、サポートしていない形式です。";

std::string SampleTar()
{
    using namespace standin_test;
    return TarMember("a.txt", '0', "alpha") + TarMember("b.txt", '0', "beta") + TarMember("c.txt", '0', "gamma") +
           TarMember("dir/", '5', "") + TarMember("dir/d.txt", '0', "delta") + TarEnd();
}

// The temporary folder named in a first run's "/o:" switch.
std::string OutputFolderOf(const std::string& cmdline)
{
    const size_t at = cmdline.find("/o:\"");
    if (at == std::string::npos)
        return std::string();
    return cmdline.substr(at + 4, cmdline.find('"', at + 4) - at - 4);
}

std::vector<std::string> SortedLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << "bytes after the last CR LF";
    std::sort(lines.begin(), lines.end());
    return lines;
}

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        SettingsScope::SetDword(ShellKey, L"m_chkCMCompress", 1);
        SettingsScope::SetDword(ShellKey, L"m_chkDDCompress", 1);
        SettingsScope::SetDword(ExtensionKey, L"AdditionalMenu", 1);
        source = folder / L"sample.tar";
        WriteBytes(source, SampleTar());
        drop = folder / L"drop";
        MakeFolder(drop);
        before = MrvEntries();
    }

    // A DLL object with the conversion popup for path, dropped on target if given.
    ComPtr<IContextMenu> ConversionMenu(const std::wstring& path, const std::wstring& target = L"")
    {
        return ConversionMenuOf(ShellDataObject({path}), target);
    }

    // The same for a path of any length (the shell makes no data object for one past MAX_PATH).
    ComPtr<IContextMenu> LongPathConversionMenu(const std::wstring& path, const std::wstring& target = L"")
    {
        return ConversionMenuOf(HandMadeDataObject(BuildDropHandle({path}, true)), target);
    }

    ComPtr<IContextMenu> ConversionMenuOf(const ComPtr<IDataObject>& data, const std::wstring& target)
    {
        ComPtr<IShellExtInit> init = Dll().CreateInit();
        IdList targetId(target);
        EXPECT_EQ(init->Initialize(target.empty() ? nullptr : targetId.get(), data.get(), nullptr), S_OK);
        ComPtr<IContextMenu> menu;
        init->QueryInterface(IID_IContextMenu, menu.put_void());
        HMENU host = CreatePopupMenu();
        EXPECT_EQ(menu->QueryContextMenu(host, 0, 1, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(0, 0, 7));
        DestroyMenu(host);
        return menu;
    }

    bool TemporaryFoldersGone(DWORD timeoutMs = 30000)
    {
        return WaitUntil([&] { return NewEntries(before, MrvEntries()).empty(); }, timeoutMs);
    }

    // Checks a finished conversion: the pair of runs for each output.
    void ExpectConversions(const std::map<std::wstring, const Target*>& outputs)
    {
        const std::vector<standin_log::Record> records = standin.WaitFor(outputs.size() * 2, 120000);
        ASSERT_EQ(records.size(), outputs.size() * 2);
        std::map<std::string, std::string> extractFolders;  // folder -> first run's command line
        for (const standin_log::Record& r : records)
            if (r.cmdline.find(" /a2a:0 /o:") != std::string::npos)
                extractFolders[OutputFolderOf(r.cmdline)] = r.cmdline;
        ASSERT_EQ(extractFolders.size(), outputs.size());
        const std::string archiver = Utf8(L"\"" + StandinScope::ArchiverPath() + L"\"");
        for (const auto& pair : extractFolders) {
            EXPECT_TRUE(std::regex_match(pair.first, std::regex(".*\\\\MRV[0-9A-Fa-f]{1,4}\\.tmp", std::regex::icase)));
            EXPECT_EQ(pair.second, archiver + " /a2a:0 /o:\"" + pair.first + "\" \"" + Utf8(source) + "\"");
        }
        for (const auto& output : outputs) {
            const std::string name = Utf8(output.first);
            auto second = std::find_if(records.begin(), records.end(), [&](const standin_log::Record& r) {
                return r.cmdline.find("/n:\"" + name + "\"") != std::string::npos;
            });
            ASSERT_NE(second, records.end()) << name;
            const std::vector<std::string> lines = SortedLines(second->listbytes);
            ASSERT_EQ(lines.size(), 4u) << "four top-level entries";
            const std::string folder = lines[0].substr(0, lines[0].find_last_of('\\'));
            EXPECT_EQ(lines, (std::vector<std::string>{folder + "\\a.txt", folder + "\\b.txt", folder + "\\c.txt",
                                                       folder + "\\dir"}));
            EXPECT_EQ(extractFolders.count(folder), 1u) << "list entries come from that conversion's folder";
            EXPECT_EQ(second->cmdline, archiver + " " + Utf8(output.second->formatSwitch) + " /a2a:0 /d /l:\"" +
                                           second->listfile + "\" /n:\"" + name + "\"");
            EXPECT_TRUE(Exists(output.first)) << name;
        }
        EXPECT_TRUE(TemporaryFoldersGone());
    }

    SettingsScope settings;
    StandinScope standin;
    TempFolder folder;
    std::wstring source;
    std::wstring drop;
    std::vector<std::wstring> before;
};

TEST_F(ConversionTest, EachTargetBesideTheSource)
{
    std::map<std::wstring, const Target*> outputs;
    for (const Target& target : Targets) {
        // sample.tar into .tar names the source itself: refused (see below).
        if (std::wstring(target.extension) == L".tar")
            continue;
        ComPtr<IContextMenu> menu = ConversionMenu(source);
        ASSERT_EQ(InvokeOffset(menu.get(), static_cast<UINT>(target.offset)), S_OK);
        outputs[folder / (std::wstring(L"sample") + target.extension)] = &target;
    }
    ExpectConversions(outputs);
}

TEST_F(ConversionTest, EachTargetIntoTheDropFolder)
{
    std::map<std::wstring, const Target*> outputs;
    for (const Target& target : Targets) {
        ComPtr<IContextMenu> menu = ConversionMenu(source, drop);
        ASSERT_EQ(InvokeOffset(menu.get(), static_cast<UINT>(target.offset)), S_OK);
        outputs[drop + L"\\sample" + target.extension] = &target;
    }
    ExpectConversions(outputs);
    EXPECT_EQ(ReadBytes(source), SampleTar()) << "the source is left alone";
}


// A drive root as the drop target ("M:\\", which ends in its separator):
// the output is "M:\\sample.tgz", with no second backslash.
TEST_F(ConversionTest, DriveRootAsTheDropTarget)
{
    DriveLetterLink drive(drop);
    if (!drive.ok())
        GTEST_SKIP() << "no second drive letter (not running under Wine)";
    ComPtr<IContextMenu> menu = ConversionMenu(source, L"M:\\");
    ASSERT_EQ(InvokeOffset(menu.get(), 5), S_OK);
    std::map<std::wstring, const Target*> outputs = {{L"M:\\sample.tgz", &Targets[5]}};
    ExpectConversions(outputs);
    EXPECT_TRUE(Exists(drop + L"\\sample.tgz"));
}

// A refusal is told once, in a box with no owner (the tests pick with no
// window); nothing runs and the source stays.
void ExpectRefusal(const BoxAnswerer& answerer, const std::wstring& text)
{
    const std::vector<SeenBox> seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u) << Utf8(text);
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].owner, nullptr);
    EXPECT_TRUE(seen[0].okOnly);
}

const wchar_t OutputIsSourceText[] = L"変換先が変換元のファイルと同じため、変換できません。\n\n";

// The output would be the source itself, spelled otherwise: dropped onto
// the root of its own drive (the drop folder ends in "\\"), and onto its
// own folder reached through a second drive letter. Refused where it is
// picked, before rundll32 starts.
TEST_F(ConversionTest, SourceReachedThroughAnotherSpellingIsNeverOverwritten)
{
    DriveLetterLink drive(folder.path());
    if (!drive.ok())
        GTEST_SKIP() << "no second drive letter (not running under Wine)";
    for (const std::wstring& chosen : {std::wstring(L"M:\\sample.tar"), source}) {
        BoxAnswerer answerer;
        ComPtr<IContextMenu> menu = ConversionMenu(chosen, L"M:\\");
        EXPECT_EQ(InvokeOffset(menu.get(), 3), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) << Utf8(chosen);
        ExpectRefusal(answerer, OutputIsSourceText + std::wstring(L"M:\\sample.tar"));
    }
    Sleep(500);
    EXPECT_TRUE(standin.Records().empty());
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty());
    EXPECT_EQ(ReadBytes(source), SampleTar());
}

// "Quarterly figures.tar" deeper than MAX_PATH travels as QUAR~0KW.TAR (Wine
// 8's alias); dropped on a 243-unit folder that holds "Quarterly report
// 05691.zip", whose alias is QUAR~0KW.ZIP, the new archive must carry its
// own long name (in the folder's short form, where it fits) and leave the
// other archive alone.
TEST_F(ConversionTest, OutputNeverReachesAnotherFileThroughItsShortName)
{
    std::wstring deep = folder.path();
    while (deep.size() < 300) {
        deep += L"\\a folder with a long name";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    WriteBytes(L"\\\\?\\" + deep + L"\\Quarterly figures.tar", SampleTar());
    std::wstring target = drop;
    while (target.size() + 12 < 243)
        target += L"\\sub folder";
    target += L"\\" + std::wstring(243 - target.size() - 1, L'd');
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, target.c_str(), nullptr), ERROR_SUCCESS);
    const std::wstring other = target + L"\\Quarterly report 05691.zip";
    WriteBytes(other, "another archive");
    if (ShortPath(other).substr(ShortPath(other).rfind(L'\\')) != L"\\QUAR~0KW.ZIP")
        GTEST_SKIP() << "the volume's short names differ from Wine 8's";

    ASSERT_EQ(InvokeOffset(LongPathConversionMenu(deep + L"\\Quarterly figures.tar", target).get(), 1), S_OK);

    const std::vector<standin_log::Record> records = standin.WaitFor(2, 120000);
    ASSERT_EQ(records.size(), 2u);
    const std::wstring output = ShortPath(target) + L"\\Quarterly figures.zip";
    EXPECT_NE(records[1].cmdline.find("/n:\"" + Utf8(output) + "\""), std::string::npos) << records[1].cmdline;
    EXPECT_TRUE(TemporaryFoldersGone());
    EXPECT_EQ(ReadBytes(other), "another archive");
    EXPECT_TRUE(Exists(L"\\\\?\\" + target + L"\\Quarterly figures.zip"));
    RunProcess(L"cmd /c start /wait /unix /bin/rm -rf \"" + Wide(UnixPath(folder / L"a folder with a long name")) + L"\"");
}

// A source deeper than MAX_PATH travels in its short form; the new archive
// beside it still carries the file's own long name.
TEST_F(ConversionTest, LongPathSourceTravelsShortAndKeepsItsLongName)
{
    std::wstring deep = folder.path();
    while (deep.size() < 360) {
        deep += L"\\a folder with a long name";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::wstring stem = deep + L"\\Quarterly figures of the northern region";
    WriteBytes(L"\\\\?\\" + stem + L".tar", SampleTar());
    ASSERT_EQ(InvokeOffset(LongPathConversionMenu(stem + L".tar").get(), 1), S_OK);

    const std::vector<standin_log::Record> records = standin.WaitFor(2, 120000);
    ASSERT_EQ(records.size(), 2u);
    wchar_t shortForm[1024] = {};
    ASSERT_GT(GetShortPathNameW((L"\\\\?\\" + stem + L".tar").c_str(), shortForm, 1024), 0u);
    const std::wstring source = std::wstring(shortForm).substr(4);
    EXPECT_NE(records[0].cmdline.find("\"" + Utf8(source) + "\""), std::string::npos) << records[0].cmdline;
    const std::wstring output = source.substr(0, source.rfind(L'\\')) + L"\\Quarterly figures of the northern region.zip";
    EXPECT_NE(records[1].cmdline.find("/n:\"" + Utf8(output) + "\""), std::string::npos) << records[1].cmdline;
    EXPECT_TRUE(Exists(L"\\\\?\\" + stem + L".zip"));
    EXPECT_TRUE(TemporaryFoldersGone());
    RunProcess(L"cmd /c start /wait /unix /bin/rm -rf \"" + Wide(UnixPath(folder / L"a folder with a long name")) + L"\"");
}

TEST_F(ConversionTest, ArchiveThatExtractsNothingIsNotCompressed)
{
    const std::wstring empty = folder / L"empty.tar";
    WriteBytes(empty, standin_test::TarEnd());
    ComPtr<IContextMenu> menu = ConversionMenu(empty);
    ASSERT_EQ(InvokeOffset(menu.get(), 1), S_OK);
    ASSERT_EQ(standin.WaitFor(1).size(), 1u);
    EXPECT_TRUE(TemporaryFoldersGone());
    Sleep(1000);
    EXPECT_EQ(standin.Records().size(), 1u) << "no second run";
    EXPECT_FALSE(Exists(folder / L"empty.zip"));
}

TEST_F(ConversionTest, SourceThatIsNoArchiveIsReportedOnce)
{
    const std::wstring plain = folder / L"plain.txt";
    WriteBytes(plain, "just text, no archive");
    ComPtr<IContextMenu> menu = ConversionMenu(plain);
    ASSERT_EQ(InvokeOffset(menu.get(), 1), S_OK);

    HWND box = WaitForMessageBox(L"Morvane", 60000);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(MessageBoxText(box), NotAnArchiveText);
    PressOk(box);

    const std::vector<standin_log::Record> records = standin.WaitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].HasAction("confirm window closed"));
    EXPECT_TRUE(TemporaryFoldersGone());
    Sleep(1000);
    EXPECT_EQ(standin.Records().size(), 1u) << "no second run";
    EXPECT_EQ(WaitForMessageBox(L"Morvane", 200), nullptr) << "the message is shown once";
    EXPECT_FALSE(Exists(folder / L"plain.zip"));
}

// LaunchConversion sends only the first path; the module's own path names
// the DLL to rundll32, here the built DLL.
TEST_F(ConversionTest, OnlyTheFirstOfThreePathsTravels)
{
    const std::wstring other = folder / L"other.tar";
    WriteBytes(other, SampleTar());
    HINSTANCE saved = ModuleInstance;
    ModuleInstance = Dll().module();
    ComPtr<IShellExtInit> object = NewCoreObject();
    ComPtr<IDataObject> data = ShellDataObject({source, other, folder / L"drop"});
    ASSERT_EQ(object->Initialize(nullptr, data.get(), nullptr), S_OK);
    EXPECT_EQ(AsShellExt(object.get())->LaunchConversion(24), S_OK);
    EXPECT_EQ(AsShellExt(object.get())->Selection.count, 0);
    EXPECT_EQ(AsShellExt(object.get())->LaunchConversion(24), E_INVALIDARG);
    ModuleInstance = saved;
    ExpectConversions({{folder / L"sample.tgz", &Targets[5]}});
    for (const standin_log::Record& r : standin.Records())
        EXPECT_EQ(r.cmdline.find("other.tar"), std::string::npos);
}

// A .tar converted into .tar would be packed into itself: nothing runs,
// the source stays as it was, and the user is told why, where the command
// was picked. So in a folder whose name ends in a dot: Win32 reads
// "Archives.\b.tar" as "Archives\b.tar", the output goes through the
// folder's short form and is the source itself. So is a conversion without
// an install folder. The worker keeps the same guard for a request that
// comes from elsewhere.
TEST_F(ConversionTest, ConversionIntoTheSourcesOwnNameRunsNothing)
{
    const std::wstring dotted = folder / L"Archives.";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dotted).c_str(), nullptr));
    WriteBytes(L"\\\\?\\" + dotted + L"\\b.tar", SampleTar());
    MakeFolder(folder / L"Archives");
    WriteBytes(folder / L"Archives\\b.tar", "the neighbour Win32 reads instead");
    const std::wstring dottedOutput = ShortPath(L"\\\\?\\" + dotted).substr(4) + L"\\b.tar";
    for (const auto& chosen : {std::make_pair(source, source), std::make_pair(dotted + L"\\b.tar", dottedOutput)}) {
        {
            BoxAnswerer answerer;
            ComPtr<IContextMenu> menu = LongPathConversionMenu(chosen.first);
            EXPECT_EQ(InvokeOffset(menu.get(), 3), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
            ExpectRefusal(answerer, OutputIsSourceText + chosen.second);
        }
        BoxAnswerer answerer;
        Dll().RunConvertArchive((L"22 " + chosen.first).c_str());
        ExpectRefusal(answerer, OutputIsSourceText + chosen.second);
    }
    SettingsScope::SetString(ArchiverKey, L"InstallPath", L"");
    {
        BoxAnswerer answerer;
        ComPtr<IContextMenu> second = ConversionMenu(source);
        EXPECT_EQ(InvokeOffset(second.get(), 5), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
        ExpectRefusal(answerer, L"Morvane のインストール先が見つかりません。Morvane をインストールし直してください。");
    }
    EXPECT_TRUE(TemporaryFoldersGone());
    Sleep(500);
    EXPECT_TRUE(standin.Records().empty());
    EXPECT_EQ(ReadBytes(source), SampleTar());
    EXPECT_TRUE(ReadBytes(L"\\\\?\\" + dotted + L"\\b.tar") == SampleTar()) << "the chosen archive was written";
    EXPECT_EQ(ReadBytes(folder / L"Archives\\b.tar"), "the neighbour Win32 reads instead");
    EXPECT_FALSE(Exists(folder / L"sample.tgz"));
}

TEST_F(ConversionTest, CodeOutsideTheConversionsIsRefusedAndKeepsTheSelection)
{
    ComPtr<IShellExtInit> object = NewCoreObject();
    SetSelection(AsShellExt(object.get()), {source});
    for (int code : {18, 26, -19})
        EXPECT_EQ(AsShellExt(object.get())->LaunchConversion(code), E_INVALIDARG) << code;
    EXPECT_EQ(AsShellExt(object.get())->Selection.count, 1);
}

}  // namespace
