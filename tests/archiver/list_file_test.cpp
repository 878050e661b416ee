// WriteListFile: the bytes the archiver reads, under the running ANSI code
// page (this executable also runs under code page 932). A temporary folder
// that is missing, not a folder or too deep: hardening/temporary_folder_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <regex>

#include "archiver/ansi_line.h"

#include "testkit/core_object.h"
#include "support/environment.h"
#include "support/selection.h"

namespace {

class ListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        object = NewCoreObject();
        ASSERT_TRUE(object);
        ext = AsShellExt(object.get());
    }
    void TearDown() override
    {
        if (name[0])
            DeleteFileW(name);
    }
    bool Write() { return ext->WriteListFile(name); }

    TempFolder folder;
    ComPtr<IShellExtInit> object;
    CShellExt* ext = nullptr;
    wchar_t name[MAX_PATH + 1] = {};
};

TEST_F(ListFileTest, ThreePathsGiveThreeLinesInOrderAndNothingElse)
{
    std::vector<std::wstring> paths = {folder / L"b.txt", folder / L"a.tar", folder / L"c"};
    for (const std::wstring& path : paths)
        WriteBytes(path, "x");
    SetSelection(ext, paths);
    ASSERT_TRUE(Write());
    const std::string bytes = ReadBytes(name);
    EXPECT_EQ(bytes, ListLine(paths[0]) + ListLine(paths[1]) + ListLine(paths[2]));
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
    EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_EQ(ext->Selection.count, 0);
    EXPECT_EQ(ext->Selection.data, nullptr);
}

TEST_F(ListFileTest, NameIsANewMrvTmpFileInTheTemporaryFolder)
{
    SetSelection(ext, {L"C:\\x.txt"});
    ASSERT_TRUE(Write());
    const std::wstring path = name;
    const std::wstring temp = TempPath();
    ASSERT_EQ(path.compare(0, temp.size(), temp), 0);
    EXPECT_TRUE(std::regex_match(Utf8(path.substr(temp.size())), std::regex("MRV[0-9A-Fa-f]{1,4}\\.tmp",
                                                                             std::regex::icase)));
    wchar_t second[MAX_PATH + 1] = {};
    SetSelection(ext, {L"C:\\y.txt"});
    ASSERT_TRUE(ext->WriteListFile(second));
    EXPECT_NE(std::wstring(second), path);
    DeleteFileW(second);
}

TEST_F(ListFileTest, ShortFormsAreWrittenWhereTheVolumeGivesThem)
{
    MakeFolder(folder / L"Long Folder Name With Spaces");
    const std::wstring file = folder / L"Long Folder Name With Spaces\\a very long file name.txt";
    WriteBytes(file, "x");
    SetSelection(ext, {file});
    ASSERT_TRUE(Write());
    const std::string bytes = ReadBytes(name);
    EXPECT_EQ(bytes, Utf8(ShortPath(file)) + "\r\n");
    EXPECT_EQ(bytes.find(' '), std::string::npos);
}

// A path that does not exist has no short form. A character the code page
// lacks would become "_" and name another file, or none: the list is refused.
TEST_F(ListFileTest, CharactersTheCodePageLacksAreRefusedNotReplaced)
{
    const bool japanese = GetACP() == 932;
    const std::wstring lossy = japanese ? L"C:\\missing\\caf\u00e9.txt" : L"C:\\missing\\\u03a9mega.txt";
    const std::vector<std::wstring> before = ListFolder(TempPath(), L"MRV*");
    SetSelection(ext, {L"C:\\a.txt", lossy});
    SetLastError(0);
    EXPECT_FALSE(Write());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(ListFolder(TempPath(), L"MRV*"), before) << "a list file was left";
    ASSERT_EQ(ext->Selection.count, 2);
    EXPECT_EQ(std::wstring(ext->Selection.data[1].path), lossy);
    name[0] = 0;
}

// Win32 reads "report." as "report": the line must name the chosen entry
// (its short form), picked alone or among many of its folder; a name that
// no plain path can reach ("aux.c" is the device, and has no alias) is
// refused rather than written.
TEST_F(ListFileTest, NamesWin32ReadsAsAnotherFileTravelInTheirShortFormOrAreRefused)
{
    WriteBytes(folder / L"report", "the neighbour");
    const std::wstring dotted = folder / L"report.";
    WriteBytes(L"\\\\?\\" + dotted, "the chosen one");
    for (size_t others : {0, 130}) {
        std::vector<std::wstring> paths = {dotted};
        for (size_t i = 0; i < others; ++i)
            paths.push_back(folder / L"report");
        SetSelection(ext, paths);
        ASSERT_TRUE(Write()) << others;
        const std::string bytes = ReadBytes(name);
        EXPECT_EQ(ReadBytes(Wide(bytes.substr(0, bytes.find("\r\n")))), "the chosen one") << bytes;
        DeleteFileW(name);
    }
    const std::wstring device = folder / L"aux.c";
    WriteBytes(L"\\\\?\\" + device, "x");
    SetSelection(ext, {folder / L"report", device});
    SetLastError(0);
    EXPECT_FALSE(Write());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(ext->Selection.count, 2);
    name[0] = 0;
}

TEST_F(ListFileTest, JapaneseNamesInCodePage932)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs ANSI code page 932";
    SetSelection(ext, {L"C:\\missing\\\u5727\u7e2e.txt"});
    ASSERT_TRUE(Write());
    EXPECT_EQ(ReadBytes(name), "C:\\missing\\\x88\xb3\x8f\x6b.txt\r\n");
}

// In a double-byte code page a path of 259 characters can need 500 bytes;
// its line is written whole rather than cut.
TEST_F(ListFileTest, LongDoubleByteLineIsWrittenWhole)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs a double-byte code page";
    const std::wstring path = L"C:\\missing\\" + std::wstring(240, L'\u5727') + L".txt";
    SetSelection(ext, {path, L"C:\\b.txt"});
    ASSERT_TRUE(Write());
    std::string expected = "C:\\missing\\";
    for (int i = 0; i < 240; ++i)
        expected += "\x88\xb3";
    expected += ".txt\r\nC:\\b.txt\r\n";
    EXPECT_EQ(ReadBytes(name), expected);
}

TEST_F(ListFileTest, EmptySelectionGivesAnEmptyFile)
{
    ASSERT_TRUE(Write());
    EXPECT_TRUE(Exists(name));
    EXPECT_EQ(ReadBytes(name), "");
}

// The system's ANSI code page, the value the archiver's process takes its
// own from, set for a test and put back afterwards.
class SystemCodePageScope {
public:
    explicit SystemCodePageScope(const std::wstring& value)
    {
        DWORD size = sizeof(m_saved);
        m_had = RegGetValueW(HKEY_LOCAL_MACHINE, Key, L"ACP", RRF_RT_REG_SZ, nullptr, m_saved, &size) == ERROR_SUCCESS;
        Set(value.c_str());
    }
    ~SystemCodePageScope()
    {
        if (m_had)
            Set(m_saved);
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, Key, L"ACP");
    }

private:
    static void Set(const wchar_t* value)
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, L"ACP", REG_SZ, value,
                                  static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static constexpr const wchar_t* Key = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage";
    wchar_t m_saved[32] = {};
    bool m_had = false;
};

// A program that declares UTF-8 as its own ANSI code page (Windows 10 1903
// on), or Windows with "Unicode UTF-8 for worldwide language support": there
// CP_ACP is 65001, and Windows refuses best-fit flags and default characters
// for UTF-8. Wine never runs so, so both calls are replaced here: the host's
// code page is what HostAcp says, and CP_ACP converts in it.
UINT HostAcp = CP_UTF8;

UINT WINAPI FakeAcp()
{
    return HostAcp;
}

int WINAPI FakeWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int units, LPSTR bytes, int size,
                                   LPCCH defaultChar, LPBOOL usedDefaultChar)
{
    if (codePage == CP_ACP)
        codePage = HostAcp;
    if (codePage == CP_UTF8 &&
        ((flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) || defaultChar || usedDefaultChar)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return WideCharToMultiByte(codePage, flags, text, units, bytes, size, defaultChar, usedDefaultChar);
}

class Utf8CodePage : public ListFileTest {
protected:
    void SetUp() override
    {
        ListFileTest::SetUp();
        saved = AnsiCalls;
        AnsiCalls.getAcp = FakeAcp;
        AnsiCalls.wideCharToMultiByte = FakeWideCharToMultiByte;
        HostAcp = CP_UTF8;
    }
    void TearDown() override
    {
        AnsiCalls = saved;
        ListFileTest::TearDown();
    }
    AnsiCodePageCalls saved;
    SystemCodePageScope system{L"65001"};
};

TEST_F(Utf8CodePage, EveryCharacterIsWrittenInUtf8)
{
    SetSelection(ext, {L"C:\\missing\\\u03a9mega \u4e2d.txt", L"C:\\missing\\\U0001F600.txt"});
    ASSERT_TRUE(Write());
    EXPECT_EQ(ReadBytes(name), "C:\\missing\\\xCE\xA9mega \xE4\xB8\xAD.txt\r\nC:\\missing\\\xF0\x9F\x98\x80.txt\r\n");
}

TEST_F(Utf8CodePage, UnpairedSurrogateIsRefused)
{
    SetSelection(ext, {L"C:\\missing\\\xD800x.txt"});
    EXPECT_FALSE(Write());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(ext->Selection.count, 1);
    name[0] = 0;
}

// The archiver declares no code page of its own: it reads the list in the
// system's, whatever the host that wrote it declared.
TEST_F(Utf8CodePage, ListIsWrittenInTheSystemsCodePageNotTheHosts)
{
    const std::wstring path = L"C:\\missing\\\u4e2d.txt";
    {
        SystemCodePageScope japanese(L"932");
        SetSelection(ext, {path});
        ASSERT_TRUE(Write());
        EXPECT_EQ(ReadBytes(name), "C:\\missing\\\x92\x86.txt\r\n");
        DeleteFileW(name);
    }
    HostAcp = 932;
    SetSelection(ext, {path});
    ASSERT_TRUE(Write());
    EXPECT_EQ(ReadBytes(name), "C:\\missing\\\xE4\xB8\xAD.txt\r\n");
    DeleteFileW(name);
    // No number in the system's value: the host's code page is all there is.
    SystemCodePageScope unreadable(L"none");
    SetSelection(ext, {path});
    ASSERT_TRUE(Write());
    EXPECT_EQ(ReadBytes(name), "C:\\missing\\\x92\x86.txt\r\n");
}

// The list as GetShortPathNameW gives it path by path, which the module
// finds with one enumeration per folder.
std::string PerPathList(const std::vector<std::wstring>& paths)
{
    std::string bytes;
    for (const std::wstring& path : paths) {
        wchar_t shortPath[MAX_PATH + 1] = {};
        const DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        const std::wstring line = n > 0 && n < MAX_PATH ? std::wstring(shortPath) : path;
        char converted[1024] = {};
        const int count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, line.c_str(), -1, converted,
                                              sizeof(converted), nullptr, nullptr);
        EXPECT_GT(count, 0);
        bytes += std::string(converted, static_cast<size_t>(count > 0 ? count - 1 : 0)) + "\r\n";
    }
    return bytes;
}

// Names with and without short names, ASCII and not, 8.3 already or not.
std::wstring EntryName(int i)
{
    static const wchar_t* const Shapes[] = {L"a very long file name %d.txt", L"f%d.txt", L"Mixed Case %d.Tar.Gz",
                                            L"\u5727\u7e2e %d.zip", L"no extension at all %d", L"d%d"};
    wchar_t name[64];
    swprintf(name, 64, Shapes[i % 6], i);
    return name;
}

// What Win32 makes of each path whose short form is missing, for a failure message.
std::string Diagnose(const std::vector<std::wstring>& paths)
{
    std::string text;
    for (const std::wstring& path : paths) {
        wchar_t shortPath[MAX_PATH + 1] = {};
        wchar_t full[MAX_PATH + 1] = {};
        const DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        const DWORD error = GetLastError();
        GetFullPathNameW(path.c_str(), MAX_PATH + 1, full, nullptr);
        if (n == 0 || n >= MAX_PATH || path != full)
            text += "\n" + Utf8(path) + ": short " + std::to_string(n) + " (error " + std::to_string(error) +
                    "), full " + Utf8(full);
    }
    return text;
}

class ListFileShortForms : public ListFileTest {
protected:
    std::vector<std::wstring> MakeEntries(const std::wstring& in, int count, int first = 0)
    {
        std::vector<std::wstring> paths;
        for (int i = first; i < first + count; ++i) {
            paths.push_back(in + L"\\" + EntryName(i));
            if (i % 6 == 5)
                MakeFolder(paths.back());
            else
                WriteBytes(paths.back(), "x");
        }
        return paths;
    }
    void ExpectPerPathBytes(const std::vector<std::wstring>& paths)
    {
        const std::string expected = PerPathList(paths);
        SetSelection(ext, paths);
        ASSERT_TRUE(Write()) << GetLastError() << " " << Utf8(ext->Refusal.text() ? ext->Refusal.text() : L"-")
                             << Diagnose(paths);
        EXPECT_EQ(ReadBytes(name), expected);
        DeleteFileW(name);
        name[0] = 0;
    }
};

TEST_F(ListFileShortForms, LargeSelectionOfOneFolderInAnyOrder)
{
    MakeFolder(folder / L"Long Folder Name With Spaces");
    std::vector<std::wstring> paths = MakeEntries(folder / L"Long Folder Name With Spaces", 600);
    std::reverse(paths.begin(), paths.end());
    paths.push_back(paths[7]);  // chosen twice
    ExpectPerPathBytes(paths);
}

TEST_F(ListFileShortForms, SelectionOverThreeFoldersInterleaved)
{
    std::vector<std::vector<std::wstring>> groups;
    for (const wchar_t* sub : {L"first folder", L"B", L"third folder with a long name"}) {
        MakeFolder(folder / sub);
        groups.push_back(MakeEntries(folder / sub, 130));
    }
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < 130; ++i)
        for (const std::vector<std::wstring>& group : groups)
            paths.push_back(group[i]);
    paths.push_back(folder.path());
    ExpectPerPathBytes(paths);
}

// Another case than on disk, an entry deleted since it was chosen, and
// entries picked out of a folder bigger than the enumeration's budget.
TEST_F(ListFileShortForms, UnusualEntriesGoThePerPathWay)
{
    std::vector<std::wstring> paths = MakeEntries(folder.path(), 140);
    for (size_t i = 0; i < paths.size(); i += 3)
        CharUpperW(&paths[i][folder.path().size() + 1]);
    DeleteFileW(paths[1].c_str());
    ExpectPerPathBytes(paths);

    MakeFolder(folder / L"big");
    const std::vector<std::wstring> big = MakeEntries(folder / L"big", 1500, 200);
    std::vector<std::wstring> spread;
    for (size_t i = big.size() - 1; spread.size() < 130; i -= 11)
        spread.push_back(big[i]);
    ExpectPerPathBytes(spread);
}

}  // namespace
