// --invoke: the item's command runs on the handler that owns its id.
#include "registered_fixture.h"
#include "standin-archiver/standin_log.h"

namespace menuhost_test {
namespace {

const DWORD ArchiverLimitMs = 30000;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// The stand-in archiver logs each run to %MORVANE_STANDIN_LOG%; the host and
// the archiver it starts inherit the variable from this process.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        SetEnvironmentVariableW(name_, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* name_;
};

TEST_F(RegisteredHandler, InvokedItemRunsItsOwnCommand)
{
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(STANDIN_EXE)) << "build the standin_archiver target";
    settings_.Add(HKEY_CURRENT_USER, L"Software\\Quodle\\Morvane", L"InstallPath", FolderOf(STANDIN_EXE));
    ASSERT_TRUE(settings_.ok());
    const std::wstring log = scratch_ / L"standin.log";
    ScopedEnvironment logVariable(L"MORVANE_STANDIN_LOG", log);

    const ChildResult run = RunMenuhost({L"context", Sample(), L"--invoke", L"圧縮(&C)/.tar"});
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    // Id 6 belongs to the handler whose range starts at 1: verb offset 5.
    EXPECT_NE(std::string::npos,
              run.out.find(u8"invoke 圧縮(&C)/.tar [id 6] handler {6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38} verb 5\n"
                           "  InvokeCommand = 0x00000000\n"))
        << run.out;

    std::vector<standin_log::Record> records;
    ASSERT_TRUE(standin_log::WaitForRecords(log, 1, ArchiverLimitMs, &records)) << "the archiver did not run";
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
