#include "convert/archiver_process.h"

bool StartArchiver(WCHAR* commandLine, ArchiverProcess& started)
{
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    started.process.reset(info.hProcess);
    started.mainThreadId = info.dwThreadId;
    return true;
}

void WaitForExit(ArchiverProcess& started)
{
    WaitForSingleObject(started.process.get(), INFINITE);
    started.process.reset();
}
