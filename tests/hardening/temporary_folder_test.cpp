// The user's temporary folder (TMP) deep, missing or not a folder: list
// files and conversion folders are made whole or not at all, and nothing
// stays behind.
#include <gtest/gtest.h>

#include <regex>

#include "hardening/hardening_support.h"
#include "standin-archiver/standin_log.h"
#include "testkit/core_object.h"
#include "support/environment.h"
#include "support/selection.h"
#include "support/standin.h"
#include "tools/tar_craft.h"

namespace {

using hardening::GuardedMemory;
using hardening::ScopedVariable;

const DWORD ConversionLimitMs = 60000;

bool IsListFileName(const std::wstring& name)
{
    return std::regex_match(Utf8(name), std::regex("MRV[0-9A-Fa-f]{1,4}\\.tmp", std::regex::icase));
}

// TMP set to folders whose paths have every length from 200 to 300
// characters: the list file's name is made whole inside the folder, or
// WriteListFile refuses and leaves the folder empty.
TEST(TemporaryFolderBounds, ListFileIsMadeWholeOrNotAtAll)
{
    TempFolder base(L"deep");
    long cases = 0;
    long written = 0;
    for (size_t length = 200; length <= 300; ++length) {
        const std::wstring folder = hardening::MakeFolderOfLength(base.path(), length);
        ASSERT_EQ(folder.size(), length);
        ComPtr<IShellExtInit> object = NewCoreObject();
        ASSERT_TRUE(object);
        CShellExt* ext = AsShellExt(object.get());
        SetSelection(ext, {L"C:\\a.txt"});
        // The name buffer ends at a guard page: a name written past 261 units crashes.
        GuardedMemory memory((MAX_PATH + 1) * sizeof(wchar_t));
        wchar_t* name = static_cast<wchar_t*>(memory.get());
        wmemset(name, 0, MAX_PATH + 1);
        bool ok;
        {
            ScopedVariable tmp(L"TMP", folder);
            ok = ext->WriteListFile(name);
        }
        const std::vector<std::wstring> left = ListFolder(folder);
        const std::string where = "temporary folder of " + std::to_string(length);
        if (ok) {
            ++written;
            const std::wstring path = name;
            ASSERT_LE(path.size(), static_cast<size_t>(MAX_PATH)) << where;
            ASSERT_EQ(path.compare(0, folder.size() + 1, folder + L"\\"), 0) << where;
            EXPECT_TRUE(IsListFileName(path.substr(folder.size() + 1))) << where;
            ASSERT_EQ(left, std::vector<std::wstring>{path.substr(folder.size() + 1)}) << where;
            EXPECT_EQ(ReadBytes(path), "C:\\a.txt\r\n") << where;
            DeleteFileW(path.c_str());
        } else {
            EXPECT_TRUE(left.empty()) << where;
            EXPECT_EQ(ext->Selection.count, 1) << where;
        }
        // A folder that leaves room for the name (MAX_PATH - 14 with its "\") is never refused.
        if (length + 1 <= MAX_PATH - 14)
            EXPECT_TRUE(ok) << where;
        RemoveTree(folder);
        ++cases;
    }
    EXPECT_GT(written, 0);
    hardening::ReportCases(cases);
}

class ConvertWithDeepTemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(STANDIN_EXE)) << "build the stand-in archiver";
        SettingsScope::SetInstallPath(StandinScope::Folder());
    }

    // Runs the conversion worker on a thread of its own, with a time limit.
    void Convert(int code, const std::wstring& source)
    {
        struct Work {
            CShellExt* ext;
            int code;
            std::wstring source;
        };
        static Work work;  // outlives a thread that overran its time
        work = {AsShellExt(object.get()), code, source};
        ASSERT_TRUE(hardening::RunWithTimeLimit(
            [](void* context) {
                Work* w = static_cast<Work*>(context);
                w->ext->ConvertArchive(w->code, w->source.c_str(), nullptr);
            },
            &work, ConversionLimitMs))
            << "the conversion did not end";
    }

    std::vector<standin_log::Record> Records() { return standin_log::ReadLog(log); }

    SettingsScope settings;
    TempFolder work{L"convert"};
    TempFolder base{L"deeptmp"};
    std::wstring log = work / L"standin.log";
    ScopedVariable logVariable{L"MORVANE_STANDIN_LOG", log};
    ComPtr<IShellExtInit> object = NewCoreObject();
};

// A folder of the given length whose every name is already a short name,
// so that its short form is no shorter.
std::wstring MakeShortNamedFolderOfLength(const std::wstring& base, size_t length)
{
    std::wstring path = ShortPath(base);
    while (path.size() + 1 < length) {
        size_t name = length - path.size() - 1 < 8 ? length - path.size() - 1 : 8;
        // Never leave one unit over: "\" alone is no name.
        if (length - path.size() - 1 - name == 1)
            --name;
        path += L"\\" + std::wstring(name, L'd');
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
    return path.size() == length ? path : std::wstring();
}

// The top-level entry's full path under the conversion folder is longer
// than 260 characters, its short form is not: the entry is listed in that
// form and the conversion runs through.
TEST_F(ConvertWithDeepTemporaryFolder, EntryThatFitsOnlyInItsShortFormIsConverted)
{
    const std::wstring source = work / L"in.tar";
    WriteBytes(source, standin_test::TarMember(std::string(40, 'n') + ".txt", '0', "data") + standin_test::TarEnd());
    const std::wstring tmp = hardening::MakeFolderOfLength(base.path(), 230);
    ASSERT_FALSE(tmp.empty());
    {
        ScopedVariable variable(L"TMP", tmp);
        Convert(20, source);
    }
    const std::vector<standin_log::Record> records = Records();
    ASSERT_EQ(records.size(), 2u) << "the extraction and the compression";
    EXPECT_EQ(records[1].listbytes.find(std::string(40, 'n')), std::string::npos) << records[1].listbytes;
    EXPECT_LT(records[1].listbytes.size(), 262u);
    EXPECT_TRUE(Exists(work / L"in.zip"));
    EXPECT_EQ(ListFolder(tmp), std::vector<std::wstring>{}) << "the conversion folder stayed";
}

// Neither the entry's full path nor its short form fits: the conversion
// stops after the extraction (no second run, no archive) and the folder
// goes, with what the archiver put there.
TEST_F(ConvertWithDeepTemporaryFolder, EntryThatDoesNotFitInAnyFormStopsTheConversionAndTheFolderGoes)
{
    const std::wstring source = work / L"in.tar";
    WriteBytes(source, standin_test::TarMember(std::string(40, 'n') + ".txt", '0', "data") + standin_test::TarEnd());
    const std::wstring tmp = MakeShortNamedFolderOfLength(base.path(), 244);
    ASSERT_FALSE(tmp.empty());
    {
        ScopedVariable variable(L"TMP", tmp);
        Convert(20, source);
    }
    const std::vector<standin_log::Record> records = Records();
    ASSERT_EQ(records.size(), 1u) << "one run: the extraction";
    EXPECT_NE(records[0].cmdline.find("/a2a:0"), std::string::npos) << records[0].cmdline;
    EXPECT_FALSE(Exists(work / L"in.zip"));
    EXPECT_EQ(ListFolder(tmp), std::vector<std::wstring>{}) << "the conversion folder stayed";
}

// Only an entry below a top-level folder is too long for a 260-character
// path: the conversion runs through, and its folder still goes whole.
TEST_F(ConvertWithDeepTemporaryFolder, DeepEntryBelowAFittingFolderIsRemovedWithTheFolder)
{
    const std::wstring source = work / L"in.tar";
    WriteBytes(source, standin_test::TarMember("d/", '5', "") +
                           standin_test::TarMember("d/" + std::string(60, 'm') + ".txt", '0', "deep") +
                           standin_test::TarEnd());
    const std::wstring tmp = hardening::MakeFolderOfLength(base.path(), 230);
    ASSERT_FALSE(tmp.empty());
    {
        ScopedVariable variable(L"TMP", tmp);
        Convert(20, source);
    }
    const std::vector<standin_log::Record> records = Records();
    ASSERT_EQ(records.size(), 2u) << "the extraction and the compression";
    EXPECT_TRUE(Exists(work / L"in.zip"));
    EXPECT_EQ(ListFolder(tmp), std::vector<std::wstring>{}) << "the conversion folder stayed";
}

// The conversion folder is a name that GetTempFileNameW makes in the
// temporary folder, which takes one at most MAX_PATH - 14 characters long
// (its "\" included). Up to there the conversion runs through (the entry
// travels in its short form where the full path is too long); past it
// nothing runs and no folder is made.
TEST_F(ConvertWithDeepTemporaryFolder, TemporaryFolderTooLongForItsNameRunsNothing)
{
    const std::wstring source = work / L"in.tar";
    WriteBytes(source, standin_test::TarMember("a.txt", '0', "a") + standin_test::TarEnd());
    long cases = 0;
    for (size_t length = 240; length <= 262; ++length) {
        const std::wstring tmp = hardening::MakeFolderOfLength(base.path(), length);
        ASSERT_EQ(tmp.size(), length);
        {
            ScopedVariable variable(L"TMP", tmp);
            Convert(20, source);
        }
        const size_t expected = length + 1 <= MAX_PATH - 14 ? 2 : 0;
        EXPECT_TRUE(ListFolder(tmp).empty()) << length;
        EXPECT_EQ(Records().size(), expected) << "runs with a temporary folder of " << length;
        EXPECT_EQ(Exists(work / L"in.zip"), expected == 2) << length;
        DeleteFileW((work / L"in.zip").c_str());
        DeleteFileW(log.c_str());
        RemoveTree(tmp);
        ++cases;
    }
    hardening::ReportCases(cases);
}

// TMP names a folder that does not exist, or a file.
class UnusableTemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureOle();
        WriteBytes(work / L"a.tar", standin_test::TarMember("a.txt", '0', "a") + standin_test::TarEnd());
        WriteBytes(work / L"file", "not a folder");
    }

    void CheckEverything(const std::wstring& tmpValue)
    {
        ScopedVariable tmp(L"TMP", tmpValue);
        for (int code : {0, 2, 6, 12}) {
            ComPtr<IShellExtInit> object = NewCoreObject();
            CShellExt* ext = AsShellExt(object.get());
            SetSelection(ext, {work / L"a.tar"});
            const HRESULT hr = ext->RunArchiverCommand(code);
            EXPECT_TRUE(FAILED(hr)) << "code " << code << std::hex << " " << hr;
        }
        ComPtr<IShellExtInit> object = NewCoreObject();
        CShellExt* ext = AsShellExt(object.get());
        SetSelection(ext, {work / L"a.tar"});
        wchar_t name[MAX_PATH + 1] = {};
        EXPECT_FALSE(ext->WriteListFile(name));
        EXPECT_EQ(ext->Selection.count, 1);
        ext->ConvertArchive(20, (work / L"a.tar").c_str(), nullptr);
        EXPECT_TRUE(hardening::WaitForChildren(L"Morvane.exe", 30000));
        EXPECT_TRUE(standin_log::ReadLog(log).empty()) << "the archiver ran";
        EXPECT_FALSE(Exists(work / L"a.zip"));
        EXPECT_EQ(ListFolder(work.path()), (std::vector<std::wstring>{L"a.tar", L"file"}));
    }

    SettingsScope settings;
    TempFolder work{L"unusable"};
    TempFolder logs{L"logs"};
    std::wstring log = logs / L"standin.log";
    ScopedVariable logVariable{L"MORVANE_STANDIN_LOG", log};
};

TEST_F(UnusableTemporaryFolder, MissingFolderFailsEveryCommandAndLeavesNothing)
{
    SettingsScope::SetInstallPath(StandinScope::Folder());
    CheckEverything(work / L"missing");
    EXPECT_FALSE(Exists(work / L"missing"));
}

TEST_F(UnusableTemporaryFolder, FileInsteadOfAFolderFailsEveryCommandAndLeavesNothing)
{
    SettingsScope::SetInstallPath(StandinScope::Folder());
    CheckEverything(work / L"file");
    EXPECT_EQ(ReadBytes(work / L"file"), "not a folder");
}

}  // namespace
