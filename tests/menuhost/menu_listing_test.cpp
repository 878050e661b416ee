// The menus that menuhost prints for our registered handler.
#include "registered_fixture.h"

namespace menuhost_test {
namespace {

// Where the handler's items stand among the host's; what each popup holds
// is the menu's own test (tests/shellext/context_menu_test.cpp).
const char ContextTop[] = u8R"(0 &Open [id 32768]
1 ----
2 解凍(&E)
3 圧縮(&C)
4 変換(&T)
5 ----
6 P&roperties [id 32769]
)";

// The host's own separator and "Cancel" follow the handler's items.
const char DropTop[] = u8R"(0 &Copy here [id 32768]
1 &Move here [id 32769]
2 Create &shortcuts here [id 32770]
3 ここに解凍(&E) [id 1]
4 ここに圧縮(&C)
5 ここに変換(&T)
6 ----
7 ----
8 Cancel [id 32771]
)";

const char OurClsid[] = "{6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}";

TEST_F(RegisteredHandler, ContextMenuOfOneFileHoldsOurPopupsAfterTheHostItem)
{
    const ChildResult run = RunMenuhost({L"context", Sample()});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(ContextTop, TopLevel(MenuTree(run.out))) << run.out;
    const std::string handler = std::string("handler ") + OurClsid + " HKCR\\*\\shellex\\ContextMenuHandlers\\";
    EXPECT_EQ(1, CountLines(run.out, handler)) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("host items: 2, handlers insert at indexMenu 1\n")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  Initialize(pidlFolder null, data object, hkeyProgID ")) << run.out;
    // 13 command ids from 1: 4 extract, 2 compress, 7 convert.
    EXPECT_NE(std::string::npos,
              run.out.find("  QueryContextMenu(indexMenu 1, idCmdFirst 1, idCmdLast 0x7FFF, uFlags 0x00000004) = "
                           "0x0000000D\n"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  6 .exe [id 13]\n")) << run.out;
}

TEST_F(RegisteredHandler, DragMenuOntoFolderHoldsOurItemsBetweenTheHostItems)
{
    const ChildResult run = RunMenuhost({L"drop", Dest(), Sample()});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(DropTop, TopLevel(MenuTree(run.out))) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  Initialize(pidlFolder " + Utf8(Dest()) + ", data object"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("uFlags 0x00000004) = 0x0000000A\n")) << run.out;
}

TEST_F(RegisteredHandler, FolderRegisteredUnderTwoClassesIsLoadedOnce)
{
    // Our CLSID is listed under Directory and under Folder; Explorer loads it once.
    const ChildResult run = RunMenuhost({L"context", Dest()});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(1, CountLines(run.out, "handler ")) << run.out;
    EXPECT_EQ(1, CountLines(run.out, std::string("handler ") + OurClsid + " HKCR\\Directory\\shellex\\"))
        << run.out;
}

TEST_F(RegisteredHandler, FileWithJapaneseNameReachesTheHandler)
{
    // Wide arguments all the way: the name must survive into the printed item and the menu.
    const std::wstring name = L"資料 一覧.txt";
    WriteBytes(scratch_ / name, "x");
    const ChildResult run = RunMenuhost({L"context", scratch_ / name});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("item " + Utf8(scratch_ / name) + "\n")) << run.out;
    EXPECT_EQ(ContextTop, TopLevel(MenuTree(run.out))) << run.out;
}

TEST_F(RegisteredHandler, VerbsAreAskedOfTheHandlerWithTheItemsOffset)
{
    const ChildResult run = RunMenuhost({L"context", Sample(), L"--verbs"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    // Our handler answers both requests with the item's label.
    EXPECT_NE(std::string::npos,
              run.out.find(u8"  1 ここに解凍(&H) [id 2] verb \"ここに解凍(&H)\" help \"ここに解凍(&H)\"\n"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  6 .exe [id 13] verb \".exe\" help \".exe\"\n")) << run.out;
    // Host items have no handler to ask.
    EXPECT_NE(std::string::npos, run.out.find("0 &Open [id 32768]\n")) << run.out;
}

TEST_F(RegisteredHandler, FlagsOptionReachesQueryContextMenu)
{
    // CMF_DEFAULTONLY without CMF_EXPLORE: our handler adds nothing and says so.
    const ChildResult run = RunMenuhost({L"context", Sample(), L"--flags", L"0x1"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("uFlags 0x00000001) = 0x00000000\n")) << run.out;
    EXPECT_EQ("0 &Open [id 32768]\n1 P&roperties [id 32769]\n", MenuTree(run.out)) << run.out;
}

// The Windows 11 menu as its host sees it: the one entry that the DLL
// serves (no registration of its own: the package declares it), with the
// archiver's icon, opening the three entries, titled without access keys,
// with the enabled formats only.
TEST_F(RegisteredHandler, CommandsModeListsTheNewMenusTree)
{
    SettingsScope::SetInstallPath(L"C:\\Program Files\\Morvane");
    const ChildResult run = RunMenuhost({L"commands", L"--dll", MORVANE_DLL, Sample()});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    const size_t entries = run.out.find("entries:\n");
    ASSERT_NE(std::string::npos, entries) << run.out;
    EXPECT_EQ("Morvane  [shown, sub-commands, icon C:\\Program Files\\Morvane\\Morvane.exe,0]\n"
              u8"  解凍  [shown, sub-commands, no icon]\n"
              u8"    デスクトップに解凍\n    ここに解凍\n    出力先を指定して解凍\n    テンポラリモードで解凍\n"
              u8"  圧縮  [shown, sub-commands, no icon]\n    .zip\n    .tar\n"
              u8"  変換  [shown, sub-commands, no icon]\n"
              "    .lzh\n    .zip\n    .cab\n    .tar\n    .tar.bz2\n    .tar.gz\n    .exe\n",
              run.out.substr(entries + 9));
}

}  // namespace
}  // namespace menuhost_test
