// --invoke: the item's command runs on the handler that owns its id.
#include "registered_fixture.h"
#include "support/standin.h"

namespace menuhost_test {
namespace {

TEST_F(RegisteredHandler, InvokedItemRunsItsOwnCommand)
{
    ASSERT_TRUE(Exists(STANDIN_EXE)) << "build the standin_archiver target";
    // The host and the archiver it starts inherit the stand-in's log from here.
    StandinScope standin;

    const ChildResult run = RunMenuhost({L"context", Sample(), L"--invoke", L"圧縮(&C)/.tar"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    // Id 6 belongs to the handler whose range starts at 1: verb offset 5.
    EXPECT_NE(std::string::npos,
              run.out.find(u8"invoke 圧縮(&C)/.tar [id 6] handler {6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38} verb 5\n"
                           "  InvokeCommand = 0x00000000\n"))
        << run.out;

    const std::vector<standin_log::Record> records = standin.WaitFor(1, 30000);
    ASSERT_EQ(records.size(), 1u) << "the archiver did not run";
    EXPECT_NE(std::string::npos, records[0].cmdline.find("/c:tar")) << records[0].cmdline;
    EXPECT_TRUE(records[0].has_listfile) << records[0].cmdline;
}

TEST_F(RegisteredHandler, UnknownLabelInvokesNothing)
{
    const ChildResult run = RunMenuhost({L"context", Sample(), L"--invoke", L"圧縮(&C)/.rar"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(5u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find(u8"no command item at \"圧縮(&C)/.rar\"")) << run.err;
    EXPECT_EQ(0, CountLines(run.out, "invoke ")) << run.out;
}

TEST_F(RegisteredHandler, PopupIsNoCommandToInvoke)
{
    const ChildResult run = RunMenuhost({L"context", Sample(), L"--invoke", L"圧縮(&C)"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(5u, run.exitCode);
    EXPECT_EQ(0, CountLines(run.out, "invoke ")) << run.out;
}

TEST_F(RegisteredHandler, HostItemIsNotHandedToTheHandler)
{
    const ChildResult run = RunMenuhost({L"context", Sample(), L"--invoke", L"&Open"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(5u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("the host's own item")) << run.err;
    EXPECT_EQ(0, CountLines(run.out, "invoke ")) << run.out;
}

}  // namespace
}  // namespace menuhost_test
