#include "hardening/hardening_support.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "support/environment.h"

namespace hardening {

Random::Random(uint32_t defaultSeed) : m_seed(defaultSeed)
{
    char text[32] = {};
    if (GetEnvironmentVariableA("MORVANE_SEED", text, sizeof(text)) > 0)
        m_seed = static_cast<uint32_t>(strtoul(text, nullptr, 0));
    m_engine.seed(m_seed);
}

int Random::Between(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_engine);
}

void ReportCases(const Random& random, long cases)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    printf("%s.%s seed: %u cases: %ld\n", test ? test->test_suite_name() : "?", test ? test->name() : "?",
           random.seed(), cases);
    fflush(stdout);
    ::testing::Test::RecordProperty("seed", static_cast<int>(random.seed()));
    ::testing::Test::RecordProperty("cases", static_cast<int>(cases));
}

void ReportCases(long cases)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    printf("%s.%s cases: %ld\n", test ? test->test_suite_name() : "?", test ? test->name() : "?", cases);
    fflush(stdout);
    ::testing::Test::RecordProperty("cases", static_cast<int>(cases));
}

namespace {

SIZE_T PageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

}  // namespace

GuardedMemory::GuardedMemory(size_t bytes, size_t alignment) : m_base(nullptr), m_block(nullptr), m_bytes(bytes)
{
    const SIZE_T page = PageSize();
    const SIZE_T dataPages = (bytes + page - 1) / page + (bytes == 0 ? 1 : 0);
    unsigned char* base = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, (dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) {
        ADD_FAILURE() << "VirtualAlloc failed for " << bytes << " bytes";
        return;
    }
    DWORD old = 0;
    VirtualProtect(base + dataPages * page, page, PAGE_NOACCESS, &old);
    m_base = base;
    const ULONG_PTR start = reinterpret_cast<ULONG_PTR>(base + dataPages * page - bytes);
    m_block = reinterpret_cast<void*>(start - start % alignment);
}

GuardedMemory::~GuardedMemory()
{
    if (m_base)
        VirtualFree(m_base, 0, MEM_RELEASE);
}

GuardedText::GuardedText(const std::wstring& text) : m_memory((text.size() + 1) * sizeof(wchar_t))
{
    wchar_t* units = static_cast<wchar_t*>(m_memory.get());
    if (!units)
        return;
    wmemcpy(units, text.c_str(), text.size());
    units[text.size()] = 0;
}

ScopedVariable::ScopedVariable(const wchar_t* name, const std::wstring& value) : m_name(name), m_had(false)
{
    Save();
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedVariable::ScopedVariable(const wchar_t* name, std::nullptr_t) : m_name(name), m_had(false)
{
    Save();
    SetEnvironmentVariableW(name, nullptr);
}

void ScopedVariable::Save()
{
    const DWORD size = GetEnvironmentVariableW(m_name.c_str(), nullptr, 0);
    if (size == 0)
        return;
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(m_name.c_str(), &value[0], size);
    value.resize(length);
    m_had = true;
    m_old = value;
}

ScopedVariable::~ScopedVariable()
{
    SetEnvironmentVariableW(m_name.c_str(), m_had ? m_old.c_str() : nullptr);
}

void SetInstallPathValue(const std::wstring& text, bool terminated)
{
    // RegSetValueExW adds the terminator itself when the size leaves it out
    // but the unit after the text is zero (Windows and Wine alike): a stored
    // value without one needs a non-zero unit there.
    const std::wstring data = terminated ? text : text + L'X';
    const DWORD bytes = static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    SettingsScope::SetValue(ArchiverKey, L"InstallPath", REG_SZ, data.c_str(), bytes);
}

std::wstring MakeFolderOfLength(const std::wstring& base, size_t length, size_t longestName)
{
    if (length < base.size() + 2)
        return std::wstring();
    std::wstring path = base;
    // Names of at most 200 characters by default: Unix file systems allow 255 bytes a name.
    while (path.size() + 1 < length) {
        size_t name = length - path.size() - 1;
        if (name > longestName) {
            name = longestName;
            if (length - (path.size() + 1 + name) < 2)
                name = longestName * 3 / 4;
        }
        path += L"\\" + std::wstring(name, L'f');
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot make a folder of " << path.size() << " characters, error " << GetLastError();
            return std::wstring();
        }
    }
    return path;
}

namespace {

template <class F>
void ForEachChild(const wchar_t* imageName, F f)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == self && _wcsicmp(entry.szExeFile, imageName) == 0)
            f(entry.th32ProcessID);
    CloseHandle(snapshot);
}

}  // namespace

int RunningChildren(const wchar_t* imageName)
{
    int count = 0;
    ForEachChild(imageName, [&](DWORD id) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (process) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
                ++count;
            CloseHandle(process);
        }
    });
    return count;
}

std::vector<std::wstring> ChildImagePaths(const wchar_t* imageName)
{
    std::vector<std::wstring> paths;
    ForEachChild(imageName, [&](DWORD id) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (!process)
            return;
        wchar_t path[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH + 1;
        if (QueryFullProcessImageNameW(process, 0, path, &size))
            paths.push_back(path);
        CloseHandle(process);
    });
    return paths;
}

void EndChildren(const wchar_t* imageName)
{
    ForEachChild(imageName, [](DWORD id) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    });
}

bool WaitForChildren(const wchar_t* imageName, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (RunningChildren(imageName) == 0)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

namespace {

struct ThreadWork {
    void (*work)(void*);
    void* context;
};

DWORD WINAPI RunWork(void* parameter)
{
    ThreadWork* w = static_cast<ThreadWork*>(parameter);
    w->work(w->context);
    delete w;
    return 0;
}

}  // namespace

bool RunWithTimeLimit(void (*work)(void*), void* context, DWORD timeoutMs)
{
    ThreadWork* w = new ThreadWork{work, context};
    HANDLE thread = CreateThread(nullptr, 0, RunWork, w, 0, nullptr);
    if (!thread) {
        delete w;
        ADD_FAILURE() << "cannot start a thread";
        return false;
    }
    const bool ended = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

}  // namespace hardening
