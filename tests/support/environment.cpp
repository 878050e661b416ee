#include "support/environment.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <tlhelp32.h>

#include "support/invoke.h"

namespace {

// On Windows the system's ANSI code page (this value) and a process's
// GetACP agree unless the program declares a code page of its own. Wine
// writes the value for the locale the prefix last ran under, and a run
// under another locale (code page 932) does not always bring it up to
// date; the module reads the value, so every test executable puts it in
// step with its own code page first, and back afterwards.
class SystemCodePageInStep : public ::testing::Environment {
public:
    void SetUp() override
    {
        wchar_t value[32] = {};
        DWORD size = sizeof(value);
        m_saved = RegGetValueW(HKEY_LOCAL_MACHINE, Key, L"ACP", RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
                      ? value
                      : L"";
        const std::wstring own = std::to_wstring(GetACP());
        m_changed = m_saved != own && Set(own);
    }
    void TearDown() override
    {
        if (m_changed && !m_saved.empty())
            Set(m_saved);
    }

private:
    static bool Set(const std::wstring& value)
    {
        return RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, L"ACP", REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    static constexpr const wchar_t* Key = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage";
    std::wstring m_saved;
    bool m_changed = false;
};

::testing::Environment* const CodePageEnvironment = ::testing::AddGlobalTestEnvironment(new SystemCodePageInStep);

}  // namespace

void EnsureOle()
{
    static thread_local bool done = false;
    if (!done) {
        OleInitialize(nullptr);
        done = true;
    }
}

TempFolder::TempFolder(const std::wstring& tag) : ScratchFolder(tag, L"mrvtest")
{
    if (!made())
        ADD_FAILURE() << "cannot make a temporary folder";
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    ASSERT_TRUE(TryWriteBytes(path, bytes)) << Utf8(path);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::wstring& path)
{
    CreateDirectoryW(path.c_str(), nullptr);
}

std::wstring ShortPath(const std::wstring& path)
{
    wchar_t buffer[1024] = {};
    const DWORD n = GetShortPathNameW(path.c_str(), buffer, 1024);
    return n && n < 1024 ? std::wstring(buffer) : path;
}

FileId IdentifyFile(const std::wstring& path)
{
    FileId id;
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return id;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileInformationByHandle(file, &info)) {
        id.volume = info.dwVolumeSerialNumber;
        id.index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.valid = true;
    }
    CloseHandle(file);
    return id;
}

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string UnixPath(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return std::string();
    char* unix = toUnix(path.c_str());
    std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}


namespace {

void ClearSettings()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quodle");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quodle");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Brantix");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Brantix");
}

}  // namespace

SettingsScope::SettingsScope() { ClearSettings(); }
SettingsScope::~SettingsScope() { ClearSettings(); }

void SettingsScope::SetValue(const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                             DWORD size)
{
    ASSERT_TRUE(WriteSetting(key, name, type, data, size)) << "cannot make " << Utf8(key);
}

void SettingsScope::SetDword(const std::wstring& key, const std::wstring& name, DWORD value)
{
    SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

void SettingsScope::SetString(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SettingsScope::EnableMenus(const std::vector<std::wstring>& formats)
{
    for (const wchar_t* name : {L"m_chkCMCompress", L"m_chkCMExtract", L"m_chkDDCompress", L"m_chkDDExtract"})
        SetDword(ShellKey, name, 1);
    SetDword(ExtensionKey, L"AdditionalMenu", 1);
    for (const std::wstring& format : formats)
        SetDword(CompressMenuKey, format, 1);
}

void SettingsScope::SetInstallPath(const std::wstring& folder)
{
    SetString(ArchiverKey, L"InstallPath", folder);
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

int RunProcess(const std::wstring& commandLine, DWORD timeoutMs)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Utf8(commandLine);
        return -2;
    }
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

DriveLetterLink::DriveLetterLink(const std::wstring& folder)
{
    const std::string cDrive = UnixPath(L"C:\\");
    const std::string folderUnix = UnixPath(folder);
    const size_t at = cDrive.find("/dosdevices/");
    if (at == std::string::npos || folderUnix.empty())
        return;
    m_link = Wide(cDrive.substr(0, at + 11)) + L"/m:";
    // ln can return before the link is seen: wait for it.
    m_ok = RunProcess(L"cmd /c start /wait /unix /bin/ln -sfn \"" + Wide(folderUnix) + L"\" \"" + m_link + L"\"") == 0 &&
           WaitUntil([] { return GetFileAttributesW(L"M:\\") != INVALID_FILE_ATTRIBUTES; }, 5000);
}

DriveLetterLink::~DriveLetterLink()
{
    if (!m_link.empty())
        RunProcess(L"cmd /c start /wait /unix /bin/rm -f \"" + m_link + L"\"");
}

std::vector<DWORD> ProcessesStartedHere()
{
    std::vector<PROCESSENTRY32W> all;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        all.push_back(entry);
    CloseHandle(snapshot);
    std::vector<DWORD> found = {GetCurrentProcessId()};
    for (size_t i = 0; i < found.size(); ++i)
        for (const PROCESSENTRY32W& process : all)
            if (process.th32ParentProcessID == found[i] && process.th32ProcessID != found[i])
                found.push_back(process.th32ProcessID);
    found.erase(found.begin());
    return found;
}

void EndProcessesStartedHere()
{
    for (DWORD id : ProcessesStartedHere()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        if (process) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
}
