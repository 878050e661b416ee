// DeleteDirectoryTree on real folders.
#include <gtest/gtest.h>

#include "convert/delete_tree.h"
#include "support/environment.h"
#include "support/invoke.h"

namespace {

void MakeTree(const std::wstring& root)
{
    MakeFolder(root);
    MakeFolder(root + L"\\sub");
    MakeFolder(root + L"\\sub\\deeper");
    WriteBytes(root + L"\\a.txt", "a");
    WriteBytes(root + L"\\sub\\b.txt", "b");
    WriteBytes(root + L"\\sub\\deeper\\c.txt", "c");
}

TEST(DeleteDirectoryTree, RemovesEverythingBelowAndTheFolder)
{
    TempFolder folder;
    MakeTree(folder / L"tree");
    EXPECT_TRUE(DeleteDirectoryTree((folder / L"tree").c_str(), false));
    EXPECT_FALSE(Exists(folder / L"tree"));
}

TEST(DeleteDirectoryTree, ReadOnlyFilesNeedForce)
{
    TempFolder folder;
    MakeTree(folder / L"tree");
    SetFileAttributesW((folder / L"tree\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteDirectoryTree((folder / L"tree").c_str(), false));
    EXPECT_TRUE(Exists(folder / L"tree\\sub\\b.txt"));
    EXPECT_FALSE(Exists(folder / L"tree\\a.txt"));
    EXPECT_TRUE(DeleteDirectoryTree((folder / L"tree").c_str(), true));
    EXPECT_FALSE(Exists(folder / L"tree"));
}

TEST(DeleteDirectoryTree, EmptyOrNullPathTouchesNothing)
{
    EXPECT_FALSE(DeleteDirectoryTree(L"", true));
    EXPECT_FALSE(DeleteDirectoryTree(nullptr, true));
}

TEST(DeleteDirectoryTree, MissingFolderIsReportedAsFailure)
{
    TempFolder folder;
    EXPECT_FALSE(DeleteDirectoryTree((folder / L"none").c_str(), true));
}


// Windows-style links cannot be made under Wine (CreateSymbolicLinkW
// creates nothing, junctions fail), so the link is a Unix symbolic link,
// which Wine shows as a directory reparse point. Removing through it acts on
// the target under Wine (on Windows it removes the link only): the tree
// must never descend into it.
TEST(DeleteDirectoryTree, LinkToAFolderOutsideIsNeverEntered)
{
    TempFolder outside;
    WriteBytes(outside / L"keep.txt", "keep");
    MakeFolder(outside / L"inner");
    WriteBytes(outside / L"inner\\keep2.txt", "keep");
    TempFolder folder;
    MakeTree(folder / L"tree");
    const std::string target = UnixPath(outside.path());
    const std::string link = UnixPath(folder / L"tree\\link");
    if (target.empty() || link.empty())
        GTEST_SKIP() << "not running under Wine";
    const std::wstring command = L"cmd /c start /wait /unix /bin/ln -s \"" + Wide(target) + L"\" \"" + Wide(link) + L"\"";
    ASSERT_EQ(RunProcess(command), 0);
    // "start /wait /unix" can return before the link is there.
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    WaitUntil([&] { return (attributes = GetFileAttributesW((folder / L"tree\\link").c_str())) != INVALID_FILE_ATTRIBUTES; },
              10000);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << std::hex << attributes;

    DeleteDirectoryTree((folder / L"tree").c_str(), true);
    EXPECT_EQ(ReadBytes(outside / L"keep.txt"), "keep");
    EXPECT_EQ(ReadBytes(outside / L"inner\\keep2.txt"), "keep");
    EXPECT_FALSE(Exists(folder / L"tree\\a.txt"));
    EXPECT_FALSE(Exists(folder / L"tree\\sub"));
    RunProcess(L"cmd /c start /wait /unix /bin/rm -f \"" + Wide(link) + L"\"");
}

}  // namespace
