// WriteListFile: the bytes the archiver reads, under the running ANSI code
// page (this executable also runs under code page 932).
#include <gtest/gtest.h>

#include <regex>

#include "support/core_objects.h"
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

// A path that does not exist has no short form: it is written as it is,
// with "_" for each character the code page lacks, never a best-fit look-alike.
TEST_F(ListFileTest, CharactersTheCodePageLacksBecomeUnderscores)
{
    const bool japanese = GetACP() == 932;
    const std::wstring path = japanese ? L"C:\\missing\\caf\u00e9 \u0101.txt" : L"C:\\missing\\\u4e2d \u0101.txt";
    SetSelection(ext, {path});
    ASSERT_TRUE(Write());
    EXPECT_EQ(ReadBytes(name), japanese ? "C:\\missing\\caf_ _.txt\r\n" : "C:\\missing\\_ _.txt\r\n");
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

class TemporaryFolderScope {
public:
    explicit TemporaryFolderScope(const std::wstring& folder)
    {
        wchar_t old[1024] = {};
        m_had = GetEnvironmentVariableW(L"TMP", old, 1024) > 0;
        m_old = old;
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TemporaryFolderScope() { SetEnvironmentVariableW(L"TMP", m_had ? m_old.c_str() : nullptr); }

private:
    bool m_had;
    std::wstring m_old;
};

TEST_F(ListFileTest, MissingTemporaryFolderFailsAndKeepsTheSelection)
{
    SetSelection(ext, {L"C:\\a.txt"});
    {
        TemporaryFolderScope scope(folder / L"missing");
        EXPECT_FALSE(Write());
    }
    EXPECT_EQ(ext->Selection.count, 1);
    EXPECT_TRUE(ListFolder(folder.path()).empty());
}

TEST_F(ListFileTest, TemporaryFolderTooLongForAPathIsRefused)
{
    std::wstring deep = folder.path();
    while (deep.size() < 250) {
        deep += L"\\" + std::wstring(20, L'd');
        MakeFolder(deep);
    }
    SetSelection(ext, {L"C:\\a.txt"});
    {
        TemporaryFolderScope scope(deep);
        EXPECT_FALSE(Write());
    }
    EXPECT_EQ(ext->Selection.count, 1);
    EXPECT_TRUE(ListFolder(deep).empty());
}

}  // namespace
