// RunArchiverCommand: the archiver started through the shell with each
// command's parameters, observed through the stand-in archiver's log.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "archiver/archiver_location.h"
#include "testkit/core_object.h"
#include "support/data_objects.h"
#include "support/environment.h"
#include "support/invoke.h"
#include "support/seed_tables.h"
#include "support/selection.h"
#include "support/standin.h"
#include "tools/tar_craft.h"

#include <shellapi.h>

namespace {

// The parameters of each code, from the templates and the formats' switches (not the module's tables).
std::wstring ExpectedParameters(int code, const std::wstring& target)
{
    const std::wstring format = code >= 5 ? seed::CompressFormats[code - 5].switches : L"";
    switch (code) {
    case 0: return L"/h /o:\"" + target + L"\" /l:\"<L>\" /d";
    case 1: return L"/od /l:\"<L>\" /d";
    case 2: return L"/oh /l:\"<L>\" /d";
    case 3: return L"/oc /l:\"<L>\" /d";
    case 4: return L"/t /l:\"<L>\" /d";
    default:
        if (target.empty())
            return format + L" /l:\"<L>\" /d";
        return format + L" /o:\"" + target + L"\" /l:\"<L>\" /d";
    }
}

// The command line with the list file's name put back as "<L>".
std::string WithoutListName(const standin_log::Record& record)
{
    std::string line = record.cmdline;
    const size_t at = line.find(record.listfile);
    if (!record.listfile.empty() && at != std::string::npos)
        line.replace(at, record.listfile.size(), "<L>");
    return line;
}

class ArchiverCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        file = folder / L"a.txt";
        WriteBytes(file, "text");
        drop = folder / L"Drop Folder With A Long Name";
        MakeFolder(drop);
        before = MrvEntries();
    }

    ComPtr<IShellExtInit> Selecting(const std::vector<std::wstring>& paths, const std::wstring& target = L"")
    {
        ComPtr<IShellExtInit> object = NewCoreObject();
        ComPtr<IDataObject> data = ShellDataObject(paths);
        IdList folderId(target);
        EXPECT_EQ(object->Initialize(target.empty() ? nullptr : folderId.get(), data.get(), nullptr), S_OK);
        return object;
    }

    SettingsScope settings;
    StandinScope standin;
    TempFolder folder;
    std::wstring file;
    std::wstring drop;
    std::vector<std::wstring> before;
};

TEST_F(ArchiverCommandTest, EveryCodeFromBothMenusGivesItsParameters)
{
    std::vector<std::string> expected;
    for (int code = 0; code <= 18; ++code) {
        for (bool dragDrop : {false, true}) {
            ComPtr<IShellExtInit> object = Selecting({file}, dragDrop ? drop : L"");
            ASSERT_EQ(AsShellExt(object.get())->RunArchiverCommand(code), S_OK) << code;
            // The drop folder travels in its short form.
            const std::wstring target = dragDrop ? ShortPath(drop) : L"";
            expected.push_back(Utf8(L"\"" + StandinScope::ArchiverPath() + L"\" " + ExpectedParameters(code, target)));
        }
    }
    const std::vector<standin_log::Record> records = standin.WaitFor(expected.size(), 180000);
    ASSERT_EQ(records.size(), expected.size());
    std::vector<std::string> seen;
    for (const standin_log::Record& record : records) {
        seen.push_back(WithoutListName(record));
        EXPECT_EQ(record.cwd, Utf8(StandinScope::Folder()));
        EXPECT_EQ(record.listbytes, ListLine(file)) << record.cmdline;
        EXPECT_TRUE(std::regex_match(record.listfile, std::regex(".*\\\\MRV[0-9A-Fa-f]{1,4}\\.tmp", std::regex::icase)));
    }
    std::sort(expected.begin(), expected.end());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, expected);
    EXPECT_NE(ShortPath(drop), drop) << "the volume gave no short name";
}

TEST_F(ArchiverCommandTest, ExtractHereIntoTheDropFolderReallyExtracts)
{
    using namespace standin_test;
    const std::wstring archive = folder / L"sample.tar";
    WriteBytes(archive, TarMember("notes.txt", '0', "hello") + TarMember("docs/", '5', "") +
                            TarMember("docs/readme.txt", '0', "read me") + TarEnd());
    ComPtr<IShellExtInit> object = Selecting({archive}, drop);
    ASSERT_EQ(AsShellExt(object.get())->RunArchiverCommand(0), S_OK);
    ASSERT_EQ(standin.WaitFor(1).size(), 1u);
    EXPECT_EQ(ReadBytes(drop + L"\\notes.txt"), "hello");
    EXPECT_EQ(ReadBytes(drop + L"\\docs\\readme.txt"), "read me");
}

TEST_F(ArchiverCommandTest, SecondCommandOnTheSameObjectIsRefused)
{
    ComPtr<IShellExtInit> object = Selecting({file});
    ASSERT_EQ(AsShellExt(object.get())->RunArchiverCommand(2), S_OK);
    ASSERT_EQ(standin.WaitFor(1).size(), 1u);
    const std::vector<std::wstring> afterFirst = MrvEntries();
    EXPECT_EQ(AsShellExt(object.get())->RunArchiverCommand(2), E_INVALIDARG);
    EXPECT_EQ(MrvEntries(), afterFirst);
}

TEST_F(ArchiverCommandTest, CodeOutsideTheRangeIsRefusedBeforeAnyListFile)
{
    ComPtr<IShellExtInit> object = Selecting({file});
    for (int code : {-1, 19, 25, 26, 1000}) {
        EXPECT_EQ(AsShellExt(object.get())->RunArchiverCommand(code), E_INVALIDARG) << code;
        EXPECT_EQ(AsShellExt(object.get())->Selection.count, 1);
    }
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty());
}

TEST_F(ArchiverCommandTest, NoInstallPathFailsLeavesNoListAndCreatesTheKey)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, ArchiverKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegDeleteValueW(key, L"InstallPath");
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quodle");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quodle");

    ComPtr<IShellExtInit> object = Selecting({file});
    // Refused before the shell is asked: "\Morvane.exe" would be found at the drive's root.
    EXPECT_EQ(AsShellExt(object.get())->RunArchiverCommand(2), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ArchiverKey));
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty());
    Sleep(500);
    EXPECT_TRUE(standin.Records().empty());
}

// A chosen file whose name the ANSI code page cannot hold, on a volume that
// gives it no short name (here: a file gone since it was chosen): no list,
// no archiver, and the shell hears why.
TEST_F(ArchiverCommandTest, PathTheCodePageCannotHoldRefusesTheCommand)
{
    const std::wstring lossy = folder / (GetACP() == 932 ? L"caf\u00e9.txt" : L"\u03a9mega.txt");
    ComPtr<IShellExtInit> object = NewCoreObject();
    SetSelection(AsShellExt(object.get()), {file, lossy});
    EXPECT_EQ(AsShellExt(object.get())->RunArchiverCommand(2), HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(AsShellExt(object.get())->Selection.count, 2);
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty());
    Sleep(500);
    EXPECT_TRUE(standin.Records().empty());
}

TEST_F(ArchiverCommandTest, InstallPathEndingInABackslashIsJoinedAsItIs)
{
    SettingsScope::SetInstallPath(StandinScope::Folder() + L"\\");
    ComPtr<IShellExtInit> object = Selecting({file});
    ASSERT_EQ(AsShellExt(object.get())->RunArchiverCommand(4), S_OK);
    const std::vector<standin_log::Record> records = standin.WaitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(WithoutListName(records[0]),
              Utf8(L"\"" + StandinScope::Folder() + L"\\\\Morvane.exe\" /t /l:\"<L>\" /d"));
}

// "standin", "Z:standin" and "\\...\\standin" would all reach the stand-in
// from the current folder chosen here; none is a full path, so none runs,
// in a command or in a conversion (whose box, were one shown, is answered).
TEST_F(ArchiverCommandTest, InstallFolderThatIsNoFullPathRunsNothing)
{
    BoxAnswerer answerer;
    const std::wstring full = StandinScope::Folder();
    const std::wstring parent = full.substr(0, full.rfind(L'\\'));
    const std::wstring name = full.substr(parent.size() + 1);
    wchar_t saved[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(parent.c_str()));
    for (const std::wstring& relative : {name, full.substr(0, 2) + name, full.substr(2)}) {
        ASSERT_TRUE(Exists(relative + L"\\Morvane.exe")) << Utf8(relative) << " would not reach the stand-in";
        SettingsScope::SetInstallPath(relative);
        ComPtr<IShellExtInit> object = Selecting({file});
        EXPECT_EQ(AsShellExt(object.get())->RunArchiverCommand(2), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
            << Utf8(relative);
        AsShellExt(object.get())->ConvertArchive(20, file.c_str(), nullptr);
    }
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(NewEntries(before, MrvEntries()).empty());
    Sleep(500);
    EXPECT_TRUE(standin.Records().empty());
    EXPECT_TRUE(answerer.Seen().empty());
}

// A full path is also a share's "\\server\share\..."; the device forms
// "\\?\" and "\\.\", and a server without a share, are not.
TEST_F(ArchiverCommandTest, InstallFolderOnAShareIsAFullPathButNotADevicePathOrABareServer)
{
    const struct {
        const wchar_t* folder;
        bool used;
    } rows[] = {
        {L"\\\\server\\share\\Morvane", true}, {L"\\\\server\\share", true},
        {L"\\\\?\\C:\\Morvane", false},        {L"\\\\.\\C:\\Morvane", false},
        {L"\\\\server", false},                 {L"\\\\server\\", false},
        {L"\\\\server\\\\share", false},        {L"\\\\\\share\\Morvane", false},
    };
    for (const auto& row : rows) {
        SettingsScope::SetInstallPath(row.folder);
        ArchiverLocation location;
        const HRESULT hr = LocateArchiver(location);
        EXPECT_EQ(hr, row.used ? S_OK : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) << Utf8(row.folder);
        EXPECT_EQ(std::wstring(location.ArchiverPath),
                  row.used ? std::wstring(row.folder) + L"\\Morvane.exe" : std::wstring())
            << Utf8(row.folder);
    }
}

// A drop onto a drive's root: in /o:"M:\" the closing quotation mark would
// be literal for every program that reads its command line by the usual rules.
TEST_F(ArchiverCommandTest, DropOntoADrivesRootGivesArgumentsOfTheirOwn)
{
    DriveLetterLink drive(drop);
    if (!drive.ok())
        GTEST_SKIP() << "no second drive letter (not running under Wine)";
    ComPtr<IShellExtInit> object = Selecting({file}, L"M:\\");
    ASSERT_EQ(AsShellExt(object.get())->RunArchiverCommand(0), S_OK);
    const std::vector<standin_log::Record> records = standin.WaitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(WithoutListName(records[0]),
              Utf8(L"\"" + StandinScope::ArchiverPath() + L"\" /h /o:\"M:\\\\\" /l:\"<L>\" /d"));
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(Wide(records[0].cmdline).c_str(), &count);
    ASSERT_NE(arguments, nullptr);
    const std::vector<std::wstring> read(arguments, arguments + count);
    LocalFree(arguments);
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[1], L"/h");
    EXPECT_EQ(read[2], L"/o:M:\\");
    EXPECT_EQ(read[3], L"/l:" + Wide(records[0].listfile));
    EXPECT_EQ(read[4], L"/d");
}

TEST_F(ArchiverCommandTest, ListFileIsLeftToTheArchiverWhichRemovesIt)
{
    ComPtr<IShellExtInit> object = Selecting({file});
    ASSERT_EQ(AsShellExt(object.get())->RunArchiverCommand(1), S_OK);
    const std::vector<standin_log::Record> records = standin.WaitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].HasAction("delete list file"));
    EXPECT_FALSE(Exists(Wide(records[0].listfile)));
}

}  // namespace
