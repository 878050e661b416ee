// DeleteDirectoryTree on real folders.
#include <gtest/gtest.h>
#include <malloc.h>

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

// On a thread with only 64 KB of its stack left (Wine gives every thread
// at least 1 MB, whatever CreateThread asks): a walk that recursed once per
// level would overflow it within a hundred levels and crash the test.
bool DeleteOnLittleStack(const std::wstring& path)
{
    struct Call {
        std::wstring path;
        bool removed;
    } call = {path, false};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* argument) -> DWORD {
            MEMORY_BASIC_INFORMATION stack = {};
            VirtualQuery(&stack, &stack, sizeof(stack));
            const size_t left = static_cast<size_t>(reinterpret_cast<char*>(&stack) -
                                                    static_cast<char*>(stack.AllocationBase));
            volatile char* used = static_cast<char*>(_alloca(left - 64 * 1024));
            used[0] = 0;
            Call* c = static_cast<Call*>(argument);
            c->removed = DeleteDirectoryTree(c->path.c_str(), true);
            return used[0];
        },
        &call, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    if (!thread)
        return false;
    EXPECT_EQ(WaitForSingleObject(thread, 120000), WAIT_OBJECT_0);
    CloseHandle(thread);
    return call.removed;
}

// 2,000 levels of "d", made through "\\?\" paths. Wine resolves every
// component of a path again on each call, so there a removal costs about
// the cube of the depth (400 levels took 9 s, 2,000 would take some 20
// minutes): under Wine the tree is 200 levels deep, still twice what
// recursion on that stack survives. A read-only file on the way down and
// one at the bottom, far past 260 characters, need force there too.
TEST(DeleteDirectoryTree, TreeThousandsOfLevelsDeepIsRemoved)
{
    TempFolder folder;
    const std::wstring top = folder / L"deep";
    const int depth = UnixPath(folder.path()).empty() ? 2000 : 200;
    std::wstring path = L"\\\\?\\" + top;
    std::wstring crossing;
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    for (int level = 0; level < depth; ++level) {
        path += L"\\d";
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << level << ": error " << GetLastError();
        // The file whose plain path first crosses 260 characters.
        if (crossing.empty() && path.size() - 4 + 13 > MAX_PATH)
            crossing = path + L"\\crossing.txt";
    }
    for (const std::wstring& file : {crossing, path + L"\\bottom.txt"}) {
        WriteBytes(file, "r");
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    }

    EXPECT_TRUE(DeleteOnLittleStack(top));
    EXPECT_FALSE(Exists(top));
}

// Names that the plain path rules turn into a device ("aux.c") or into
// another name (a final dot or space dropped). Wine lets them be made and
// removed through "\\?\" paths as Windows does.
TEST(DeleteDirectoryTree, EntriesNamedLikeDevicesOrEndingInADotAreRemoved)
{
    TempFolder folder;
    MakeTree(folder / L"tree");
    const std::wstring extended = L"\\\\?\\" + (folder / L"tree");
    for (const wchar_t* name : {L"\\aux.c", L"\\name.", L"\\sub\\con.txt", L"\\sub\\trailing "}) {
        HANDLE file = CreateFileW((extended + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(name);
        CloseHandle(file);
    }
    ASSERT_TRUE(CreateDirectoryW((extended + L"\\folder.").c_str(), nullptr));
    EXPECT_TRUE(DeleteDirectoryTree((folder / L"tree").c_str(), false));
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
