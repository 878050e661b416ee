// The tests' main: GoogleTest with a watchdog. A test that runs past its
// limit is failed by name, and what it started (processes, a box of ours
// nobody answers) is ended, so that one hang never holds the executable
// until ctest's time-out with the tests after it unrun.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/environment.h"
#include "support/invoke.h"

namespace {

class Watchdog : public ::testing::EmptyTestEventListener {
public:
    Watchdog(DWORD limitMs, DWORD budgetMs) : m_limitMs(limitMs), m_budgetEnd(GetTickCount() + budgetMs)
    {
        CloseHandle(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        m_name = std::string(test.test_suite_name()) + "." + test.name();
        m_fired = 0;
        // A test's limit, or what is left of the executable's budget.
        const DWORD now = GetTickCount();
        const DWORD left = static_cast<LONG>(m_budgetEnd - now) > 0 ? m_budgetEnd - now : 0;
        m_allowedMs = left < m_limitMs ? left : m_limitMs;
        m_startedAt = now;
        InterlockedIncrement(&m_test);
        InterlockedIncrement(&m_running);
    }

    // Called before the result is printed: the failure counts for this test.
    // What a failed test left running would decide the next tests' waits.
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        InterlockedDecrement(&m_running);
        if (m_fired)
            ADD_FAILURE() << "still running after " << m_allowedMs / 1000 << " s: the watchdog ended what it started";
        if (test.result()->Failed())
            EndProcessesStartedHere();
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        Watchdog* watchdog = static_cast<Watchdog*>(self);
        LONG lastFired = 0;
        for (;; Sleep(500)) {
            const LONG test = watchdog->m_test;
            if (!watchdog->m_running || test == lastFired ||
                GetTickCount() - watchdog->m_startedAt < watchdog->m_allowedMs)
                continue;
            lastFired = test;
            watchdog->m_fired = 1;
            std::fprintf(stderr, "[ WATCHDOG ] %s still running after %lu s: ending what it started\n",
                         watchdog->m_name.c_str(), watchdog->m_allowedMs / 1000);
            std::fflush(stderr);
            for (int round = 0; round < 600 && watchdog->m_running; ++round, Sleep(100)) {
                EndProcessesStartedHere();
                if (HWND box = FindBoxStartedHere(L"Morvane", true))
                    PressOk(box);
            }
            if (watchdog->m_running) {
                std::fprintf(stderr, "[ WATCHDOG ] %s does not end: stopping here\n", watchdog->m_name.c_str());
                std::fflush(stdout);
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    }

    const DWORD m_limitMs;
    const DWORD m_budgetEnd;  // the executable's, well inside ctest's 600 s
    volatile DWORD m_allowedMs = 0;
    std::string m_name;
    volatile DWORD m_startedAt = 0;
    volatile LONG m_test = 0;  // counts the tests started
    volatile LONG m_running = 0;
    volatile LONG m_fired = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const char* seconds = std::getenv("MORVANE_TEST_LIMIT_S");
    const DWORD limitMs = (seconds && std::atoi(seconds) > 0 ? static_cast<DWORD>(std::atoi(seconds)) : 300) * 1000;
    ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(limitMs, 540 * 1000));
    return RUN_ALL_TESTS();
}
