// After regsvr32 /u the host finds no handler of ours.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace menuhost_test {
namespace {

TEST(UnregisteredHandler, MenusHoldOnlyTheHostItems)
{
    // The switches are on, so an empty menu can only come from the registry.
    SettingsScope settings;
    SettingsScope::EnableMenus({L"zip", L"tar"});
    TempFolder scratch(L"menuhost");
    WriteBytes(scratch / L"sample.txt", "sample\n");
    MakeFolder(scratch / L"dest");
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_EQ(0, Regsvr32(true));

    const ChildResult context = RunMenuhost({L"context", scratch / L"sample.txt"});
    ASSERT_TRUE(context.started && !context.timedOut);
    EXPECT_EQ(3u, context.exitCode);
    EXPECT_NE(std::string::npos, context.err.find("no handler")) << context.err;
    EXPECT_EQ(0, CountLines(context.out, "handler ")) << context.out;
    EXPECT_EQ("0 &Open [id 32768]\n1 P&roperties [id 32769]\n", MenuTree(context.out)) << context.out;

    const ChildResult drop = RunMenuhost({L"drop", scratch / L"dest", scratch / L"sample.txt"});
    ASSERT_TRUE(drop.started && !drop.timedOut);
    EXPECT_EQ(3u, drop.exitCode);
    EXPECT_EQ(0, CountLines(drop.out, "handler ")) << drop.out;
    EXPECT_EQ("0 &Copy here [id 32768]\n1 &Move here [id 32769]\n2 Create &shortcuts here [id 32770]\n3 ----\n"
              "4 Cancel [id 32771]\n",
              MenuTree(drop.out))
        << drop.out;
}

}  // namespace
}  // namespace menuhost_test
