#include "support/standin.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "support/environment.h"
#include "support/invoke.h"

namespace {

unsigned g_logCounter = 0;

}  // namespace

std::wstring StandinScope::ArchiverPath()
{
    return STANDIN_EXE;
}

std::wstring StandinScope::Folder()
{
    const std::wstring exe = STANDIN_EXE;
    return exe.substr(0, exe.find_last_of(L'\\'));
}

StandinScope::StandinScope()
{
    m_log = TempPath() + L"standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++g_logCounter) + L".log";
    DeleteFileW(m_log.c_str());
    // Inherited by every process the module starts from here on.
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", m_log.c_str());
    SettingsScope::SetInstallPath(Folder());
}

StandinScope::~StandinScope()
{
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
    DeleteFileW(m_log.c_str());
}

std::vector<standin_log::Record> StandinScope::WaitFor(size_t count, unsigned timeoutMs) const
{
    const DWORD QuietMs = 3000;
    const DWORD start = GetTickCount();
    DWORD lastRunning = start;
    for (;;) {
        const DWORD now = GetTickCount();
        if (Records().size() >= count || now - start >= timeoutMs)
            break;
        if (!ProcessesStartedHere().empty()) {
            if (FindBoxStartedHere(L"Morvane", false))
                break;
            lastRunning = now;
        } else if (now - lastRunning >= QuietMs) {
            break;
        }
        Sleep(50);
    }
    return Records();
}

std::vector<standin_log::Record> StandinScope::Records() const
{
    return standin_log::ReadLog(m_log);
}

std::vector<std::wstring> MrvEntries(const std::wstring& folder)
{
    const std::wstring where = folder.empty() ? TempPath().substr(0, TempPath().size() - 1) : folder;
    std::vector<std::wstring> names;
    for (const std::wstring& name : ListFolder(where, L"MRV*"))
        if (_wcsnicmp(name.c_str(), L"mrvtest-", 8) != 0)
            names.push_back(name);
    return names;
}

std::vector<std::wstring> NewEntries(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after)
{
    std::vector<std::wstring> added;
    for (const std::wstring& name : after)
        if (std::find(before.begin(), before.end(), name) == before.end())
            added.push_back(name);
    return added;
}
