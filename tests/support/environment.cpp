#include "support/environment.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>

void EnsureOle()
{
    static thread_local bool done = false;
    if (!done) {
        OleInitialize(nullptr);
        done = true;
    }
}

std::wstring TempPath()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

TempFolder::TempFolder(const std::wstring& tag)
{
    static unsigned counter = 0;
    for (;;) {
        m_path = TempPath() + L"mrvtest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter);
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot make a temporary folder";
            break;
        }
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::wstring& path)
{
    CreateDirectoryW(path.c_str(), nullptr);
}

void RemoveTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        for (const std::wstring& name : ListFolder(path))
            RemoveTree(path + L"\\" + name);
    RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> ListFolder(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ShortPath(const std::wstring& path)
{
    wchar_t buffer[1024] = {};
    const DWORD n = GetShortPathNameW(path.c_str(), buffer, 1024);
    return n && n < 1024 ? std::wstring(buffer) : path;
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

const wchar_t ShellKey[] = L"Software\\Quodle\\Morvane\\m_tbsShell";
const wchar_t CompressMenuKey[] = L"Software\\Quodle\\Morvane\\m_chkCompressMenu";
const wchar_t ExtensionKey[] = L"Software\\Brantix\\Morvane_x64_shell_extension";
const wchar_t ArchiverKey[] = L"Software\\Quodle\\Morvane";

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
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
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
