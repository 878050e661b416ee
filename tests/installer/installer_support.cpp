#include "installer/installer_support.h"

#include <knownfolders.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/key_tools.h"

#include <algorithm>
#include <cwchar>

namespace installer_test {

const wchar_t Clsid[] = L"{6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}";
const wchar_t Description[] = L"Morvane shell extension for x64 platform.";
const wchar_t UpgradeCode[] = L"{177C859F-7C57-47AD-8553-32EFEC2CCDFF}";
const wchar_t ApprovedKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

const wchar_t ChildRoleVariable[] = L"MORVANE_INSTALLER_CHILD_ROLE";
const wchar_t ChildDllVariable[] = L"MORVANE_INSTALLER_CHILD_DLL";
const wchar_t ChildLoadedVariable[] = L"MORVANE_INSTALLER_CHILD_LOADED";
const wchar_t ChildReleaseVariable[] = L"MORVANE_INSTALLER_CHILD_RELEASE";
const wchar_t ChildResultVariable[] = L"MORVANE_INSTALLER_CHILD_RESULT";

namespace {

const wchar_t SessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t PendingValue[] = L"PendingFileRenameOperations";
// msiexec on a cold Wine server takes seconds; a minute and a half is far beyond.
const DWORD MsiexecTimeoutMs = 90000;

std::wstring TempFolderPath()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

std::wstring MsiexecLogPath() { return TempFolderPath() + L"morvane-installer-test-msiexec.log"; }

std::wstring SystemFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    GetSystemDirectoryW(buffer, MAX_PATH);
    return buffer;
}

// msi.dll, loaded by hand: the test program's link line is shared by every
// test folder and does not name it.
struct MsiApi {
    decltype(&::MsiOpenDatabaseW) OpenDatabase = nullptr;
    decltype(&::MsiDatabaseOpenViewW) OpenView = nullptr;
    decltype(&::MsiViewExecute) Execute = nullptr;
    decltype(&::MsiViewFetch) Fetch = nullptr;
    decltype(&::MsiRecordGetStringW) GetString = nullptr;
    decltype(&::MsiCloseHandle) Close = nullptr;
    decltype(&::MsiGetSummaryInformationW) SummaryInfo = nullptr;
    decltype(&::MsiSummaryInfoGetPropertyW) SummaryProperty = nullptr;
    decltype(&::MsiEnumRelatedProductsW) EnumRelated = nullptr;
    decltype(&::MsiQueryProductStateW) ProductState = nullptr;
    decltype(&::MsiGetProductInfoW) ProductInfo = nullptr;
    bool ok = false;
};

template <typename T>
void Bind(HMODULE module, const char* name, T& slot, bool& ok)
{
    slot = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ok = ok && slot != nullptr;
}

const MsiApi& Msi()
{
    static MsiApi api = [] {
        MsiApi a;
        HMODULE module = LoadLibraryW(L"msi.dll");
        a.ok = module != nullptr;
        if (!module)
            return a;
        Bind(module, "MsiOpenDatabaseW", a.OpenDatabase, a.ok);
        Bind(module, "MsiDatabaseOpenViewW", a.OpenView, a.ok);
        Bind(module, "MsiViewExecute", a.Execute, a.ok);
        Bind(module, "MsiViewFetch", a.Fetch, a.ok);
        Bind(module, "MsiRecordGetStringW", a.GetString, a.ok);
        Bind(module, "MsiCloseHandle", a.Close, a.ok);
        Bind(module, "MsiGetSummaryInformationW", a.SummaryInfo, a.ok);
        Bind(module, "MsiSummaryInfoGetPropertyW", a.SummaryProperty, a.ok);
        Bind(module, "MsiEnumRelatedProductsW", a.EnumRelated, a.ok);
        Bind(module, "MsiQueryProductStateW", a.ProductState, a.ok);
        Bind(module, "MsiGetProductInfoW", a.ProductInfo, a.ok);
        return a;
    }();
    EXPECT_TRUE(api.ok) << "msi.dll or one of its functions is missing";
    return api;
}

class MsiHandle {
public:
    MsiHandle() = default;
    ~MsiHandle()
    {
        if (m_handle)
            Msi().Close(m_handle);
    }
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;
    MSIHANDLE* put() { return &m_handle; }
    MSIHANDLE get() const { return m_handle; }

private:
    MSIHANDLE m_handle = 0;
};

std::wstring RecordString(MSIHANDLE record, UINT field)
{
    DWORD length = 0;
    wchar_t empty[1] = {};
    UINT status = Msi().GetString(record, field, empty, &length);
    if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS)
        return {};
    std::wstring text(length + 1, L'\0');
    length += 1;
    if (Msi().GetString(record, field, &text[0], &length) != ERROR_SUCCESS)
        return {};
    text.resize(length);
    return text;
}

std::wstring StripNtPrefix(std::wstring path)
{
    if (!path.empty() && path[0] == L'!')
        path.erase(0, 1);
    if (path.compare(0, 4, L"\\??\\") == 0)
        path.erase(0, 4);
    return path;
}

}  // namespace

std::wstring MainPackage() { return std::wstring(MORVANE_BUILD_DIR) + L"\\installer\\MorvaneX64.msi"; }
std::wstring SameVersionPackage() { return std::wstring(MORVANE_BUILD_DIR) + L"\\installer\\MorvaneX64-same-version.msi"; }
std::wstring UpgradePackage() { return std::wstring(MORVANE_BUILD_DIR) + L"\\installer\\MorvaneX64-upgrade.msi"; }

std::wstring InstallFolder()
{
    PWSTR folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFilesX64, 0, nullptr, &folder)))
        path = folder;
    CoTaskMemFree(folder);
    EXPECT_FALSE(path.empty()) << "no 64-bit Program Files folder";
    return path + L"\\Morvane";
}

std::wstring InstalledDll() { return InstallFolder() + L"\\MorvaneX64.dll"; }

DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << Narrow(commandLine) << ": error " << GetLastError();
        return TimedOut;
    }
    CloseHandle(process.hThread);
    DWORD code = TimedOut;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        ADD_FAILURE() << Narrow(commandLine) << " still ran after " << timeoutMs << " ms; ended";
    }
    CloseHandle(process.hProcess);
    return code;
}

DWORD Msiexec(const std::wstring& arguments)
{
    const std::wstring log = MsiexecLogPath();
    DeleteFileW(log.c_str());
    return RunProcess(L"\"" + SystemFolder() + L"\\msiexec.exe\" " + arguments + L" /qn /l*v \"" + log + L"\"",
                      MsiexecTimeoutMs);
}

std::string LastMsiexecLog()
{
    std::string bytes = FileBytes(MsiexecLogPath());
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        text = Narrow(wide);
    } else {
        text = bytes;
    }
    const size_t keep = 6000;
    if (text.size() > keep)
        text = "...\n" + text.substr(text.size() - keep);
    return "msiexec log:\n" + text;
}

void RemoveMsiexecLog() { DeleteFileW(MsiexecLogPath().c_str()); }

DWORD Regsvr32(const std::wstring& arguments)
{
    return RunProcess(L"\"" + SystemFolder() + L"\\regsvr32.exe\" /s " + arguments, 30000);
}

bool InstallSucceeded(DWORD exitCode) { return exitCode == ERROR_SUCCESS || exitCode == ERROR_SUCCESS_REBOOT_REQUIRED; }

std::vector<std::wstring> PackageQuery(const std::wstring& msiPath, const std::wstring& sql)
{
    std::vector<std::wstring> rows;
    const MsiApi& msi = Msi();
    if (!msi.ok)
        return rows;
    MsiHandle database, view;
    UINT status = msi.OpenDatabase(msiPath.c_str(), static_cast<LPCWSTR>(nullptr) /* read-only */, database.put());
    EXPECT_EQ(status, static_cast<UINT>(ERROR_SUCCESS)) << "cannot open " << Narrow(msiPath);
    if (status != ERROR_SUCCESS)
        return rows;
    status = msi.OpenView(database.get(), sql.c_str(), view.put());
    EXPECT_EQ(status, static_cast<UINT>(ERROR_SUCCESS)) << Narrow(sql);
    if (status != ERROR_SUCCESS || msi.Execute(view.get(), 0) != ERROR_SUCCESS)
        return rows;
    for (;;) {
        MsiHandle record;
        if (msi.Fetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        rows.push_back(RecordString(record.get(), 1));
    }
    return rows;
}

std::wstring PackageProperty(const std::wstring& msiPath, const std::wstring& name)
{
    std::vector<std::wstring> rows =
        PackageQuery(msiPath, L"SELECT `Value` FROM `Property` WHERE `Property` = '" + name + L"'");
    return rows.size() == 1 ? rows[0] : std::wstring();
}

PackageInfo ReadPackage(const std::wstring& msiPath)
{
    PackageInfo info;
    info.productCode = PackageProperty(msiPath, L"ProductCode");
    info.version = PackageProperty(msiPath, L"ProductVersion");
    EXPECT_FALSE(info.productCode.empty()) << Narrow(msiPath);
    EXPECT_FALSE(info.version.empty()) << Narrow(msiPath);
    return info;
}

std::wstring PackageTemplate(const std::wstring& msiPath)
{
    const MsiApi& msi = Msi();
    if (!msi.ok)
        return {};
    MsiHandle summary;
    if (msi.SummaryInfo(0, msiPath.c_str(), 0, summary.put()) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[256] = {};
    DWORD length = 256;
    UINT type = 0;
    INT number = 0;
    FILETIME time = {};
    if (msi.SummaryProperty(summary.get(), 7 /* PID_TEMPLATE */, &type, &number, &time, buffer, &length) != ERROR_SUCCESS)
        return {};
    return std::wstring(buffer, length);
}

std::vector<std::wstring> RelatedProducts()
{
    std::vector<std::wstring> codes;
    const MsiApi& msi = Msi();
    if (!msi.ok)
        return codes;
    for (DWORD i = 0; i < 64; ++i) {
        wchar_t code[39] = {};
        if (msi.EnumRelated(UpgradeCode, 0, i, code) != ERROR_SUCCESS)
            break;
        codes.push_back(code);
    }
    return codes;
}

bool ProductInstalled(const std::wstring& productCode)
{
    const MsiApi& msi = Msi();
    return msi.ok && msi.ProductState(productCode.c_str()) == INSTALLSTATE_DEFAULT;
}

std::wstring InstalledVersion(const std::wstring& productCode)
{
    const MsiApi& msi = Msi();
    if (!msi.ok)
        return {};
    wchar_t buffer[64] = {};
    DWORD length = 64;
    if (msi.ProductInfo(productCode.c_str(), L"VersionString", buffer, &length) != ERROR_SUCCESS)
        return {};
    return std::wstring(buffer, length);
}

bool UninstallAll()
{
    bool all = true;
    for (const std::wstring& code : RelatedProducts()) {
        const DWORD exitCode = Msiexec(L"/x " + code);
        if (!InstallSucceeded(exitCode)) {
            ADD_FAILURE() << "msiexec /x " << Narrow(code) << " gave " << exitCode << "\n" << LastMsiexecLog();
            all = false;
        }
    }
    return all && RelatedProducts().empty();
}

std::vector<std::string> OurEntries()
{
    const std::wstring classKey = std::wstring(L"CLSID\\") + Clsid;
    std::vector<std::string> lines = keytools::TreeLines(HKEY_CLASSES_ROOT, classKey, "HKCR\\" + Narrow(classKey));
    for (const wchar_t* list : HandlerLists) {
        const std::wstring handler = std::wstring(list) + L"\\MorvaneX64";
        for (const std::string& line : keytools::TreeLines(HKEY_CLASSES_ROOT, handler, "HKCR\\" + Narrow(handler)))
            lines.push_back(line);
    }
    HKEY approved = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ApprovedKey, 0, KEY_READ, &approved) == ERROR_SUCCESS) {
        const std::string line = keytools::ValueLine(approved, "HKLM\\" + Narrow(ApprovedKey), Clsid);
        if (!line.empty())
            lines.push_back(line);
        RegCloseKey(approved);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> ActiveSetupEntry()
{
    return keytools::TreeLines(HKEY_LOCAL_MACHINE, ActiveSetupKey, "HKLM\\" + Narrow(ActiveSetupKey));
}

std::vector<std::string> ExpectedEntries(const std::wstring& dllPath)
{
    using keytools::StringLine;
    const std::string classKey = "HKCR\\CLSID\\" + Narrow(Clsid);
    const std::string server = classKey + "\\InProcServer32";
    std::vector<std::string> lines = {
        classKey,
        StringLine(classKey, L"", Description),
        server,
        StringLine(server, L"", dllPath),
        StringLine(server, L"ThreadingModel", L"Apartment"),
        StringLine("HKLM\\" + Narrow(ApprovedKey), Clsid, Description),
    };
    for (const wchar_t* list : HandlerLists) {
        const std::string handler = "HKCR\\" + Narrow(list) + "\\MorvaneX64";
        lines.push_back(handler);
        lines.push_back(StringLine(handler, L"", Clsid));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

void RemoveOurEntries()
{
    const std::wstring classKey = std::wstring(L"CLSID\\") + Clsid;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, classKey.c_str());
    for (const wchar_t* list : HandlerLists) {
        const std::wstring handler = std::wstring(list) + L"\\MorvaneX64";
        RegDeleteTreeW(HKEY_CLASSES_ROOT, handler.c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, handler.c_str());
    }
    HKEY approved = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ApprovedKey, 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
        RegDeleteValueW(approved, Clsid);
        RegCloseKey(approved);
    }
}

std::string Describe(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += "  " + line + "\n";
    return text.empty() ? "  (nothing)\n" : text;
}

bool KeyScope::Create(HKEY root, const std::wstring& path)
{
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find(L'\\', start);
        const std::wstring part = path.substr(0, slash);
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(root, part.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, &disposition) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        if (disposition == REG_CREATED_NEW_KEY)
            m_made.push_back({root, part, std::wstring(), false});
        if (slash == std::wstring::npos)
            return true;
        start = slash + 1;
    }
}

bool KeyScope::SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value)
{
    if (!Create(root, path))
        return false;
    m_made.push_back({root, path, name, true});
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}

bool KeyScope::SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    if (!Create(root, path))
        return false;
    m_made.push_back({root, path, name, true});
    return RegSetKeyValueW(root, path.c_str(), name.empty() ? nullptr : name.c_str(), REG_SZ, text.c_str(),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void KeyScope::Remove()
{
    for (auto it = m_made.rbegin(); it != m_made.rend(); ++it) {
        if (it->isValue) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(it->root, it->path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueW(key, it->value.empty() ? nullptr : it->value.c_str());
                RegCloseKey(key);
            }
            continue;
        }
        // RegDeleteKeyW leaves a key that still has subkeys; one that kept
        // values of someone else's is left too.
        HKEY key = nullptr;
        DWORD values = 0;
        if (RegOpenKeyExW(it->root, it->path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
            if (values == 0)
                RegDeleteKeyW(it->root, it->path.c_str());
        }
    }
    m_made.clear();
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ReadDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value)
{
    DWORD size = sizeof(*value);
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, value, &size) == ERROR_SUCCESS;
}

bool ReadString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring* text)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
        return false;
    *text = buffer;
    return true;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::vector<PendingRename> PendingRenames()
{
    std::vector<PendingRename> pairs;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return pairs;
    DWORD size = 0, type = REG_NONE;
    if (RegQueryValueExW(key, PendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
        if (RegQueryValueExW(key, PendingValue, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) ==
            ERROR_SUCCESS) {
            // Strings in pairs; an empty target is an empty string, so the
            // list is read by its length, not up to the first double zero.
            std::vector<std::wstring> strings;
            const size_t count = size / sizeof(wchar_t);
            size_t at = 0;
            while (at < count) {
                const size_t end = data.find(L'\0', at);
                strings.push_back(data.substr(at, end - at));
                at = end + 1;
            }
            while (strings.size() % 2 != 0 && !strings.empty() && strings.back().empty())
                strings.pop_back();
            for (size_t i = 0; i + 1 < strings.size(); i += 2)
                pairs.push_back({StripNtPrefix(strings[i]), StripNtPrefix(strings[i + 1])});
        }
    }
    RegCloseKey(key);
    return pairs;
}

void DropPendingRenames(const std::vector<std::wstring>& sources)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD size = 0, type = REG_NONE;
    if (RegQueryValueExW(key, PendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
        RegQueryValueExW(key, PendingValue, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        std::vector<std::wstring> strings;
        const size_t count = size / sizeof(wchar_t);
        for (size_t at = 0; at < count;) {
            const size_t end = data.find(L'\0', at);
            strings.push_back(data.substr(at, end - at));
            at = end + 1;
        }
        std::wstring kept;
        for (size_t i = 0; i + 1 < strings.size(); i += 2) {
            const std::wstring source = StripNtPrefix(strings[i]);
            const bool drop = std::any_of(sources.begin(), sources.end(),
                                          [&](const std::wstring& s) { return SamePath(s, source); });
            if (!drop) {
                kept += strings[i];
                kept += L'\0';
                kept += strings[i + 1];
                kept += L'\0';
            }
        }
        if (kept.empty()) {
            RegDeleteValueW(key, PendingValue);
        } else {
            kept += L'\0';
            RegSetValueExW(key, PendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                           static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
        }
    }
    RegCloseKey(key);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

ChildProcess::~ChildProcess()
{
    if (m_process) {
        Release();
        if (WaitForSingleObject(m_process, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(m_process, 1);
            WaitForSingleObject(m_process, 10000);
        }
        CloseHandle(m_process);
    }
    if (m_loaded)
        CloseHandle(m_loaded);
    if (m_release)
        CloseHandle(m_release);
    if (!m_resultFile.empty())
        DeleteFileW(m_resultFile.c_str());
}

bool ChildProcess::StartHolder(const std::wstring& dll) { return Start(L"hold", dll); }
bool ChildProcess::StartProbe(const std::wstring& expectedDll) { return Start(L"probe", expectedDll); }

bool ChildProcess::Start(const wchar_t* role, const std::wstring& dll)
{
    static LONG serial = 0;
    const std::wstring tag = L"MorvaneInstallerTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(InterlockedIncrement(&serial));
    const std::wstring loadedName = tag + L"-loaded";
    const std::wstring releaseName = tag + L"-release";
    m_loaded = CreateEventW(nullptr, TRUE, FALSE, loadedName.c_str());
    m_release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    m_resultFile = TempFolderPath() + tag + L".txt";
    DeleteFileW(m_resultFile.c_str());
    if (!m_loaded || !m_release)
        return false;

    wchar_t self[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = std::wstring(L"\"") + self +
                        L"\" --gtest_filter=InstallerChild.DISABLED_Role --gtest_also_run_disabled_tests"
                        L" --gtest_color=no --gtest_brief=1";
    // The child inherits this environment block; the names go again at once.
    SetEnvironmentVariableW(ChildRoleVariable, role);
    SetEnvironmentVariableW(ChildDllVariable, dll.c_str());
    SetEnvironmentVariableW(ChildLoadedVariable, loadedName.c_str());
    SetEnvironmentVariableW(ChildReleaseVariable, releaseName.c_str());
    SetEnvironmentVariableW(ChildResultVariable, m_resultFile.c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    for (const wchar_t* name :
         {ChildRoleVariable, ChildDllVariable, ChildLoadedVariable, ChildReleaseVariable, ChildResultVariable})
        SetEnvironmentVariableW(name, nullptr);
    if (!started)
        return false;
    CloseHandle(process.hThread);
    m_process = process.hProcess;
    return true;
}

bool ChildProcess::WaitLoaded(DWORD timeoutMs)
{
    HANDLE both[2] = {m_loaded, m_process};
    // The child's exit ends the wait too: a holder that failed to load says so at once.
    return WaitForMultipleObjects(2, both, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

void ChildProcess::Release()
{
    if (m_release)
        SetEvent(m_release);
}

DWORD ChildProcess::Wait(DWORD timeoutMs)
{
    if (!m_process)
        return TimedOut;
    DWORD code = TimedOut;
    if (WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(m_process, &code);
    } else {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 10000);
    }
    CloseHandle(m_process);
    m_process = nullptr;
    return code;
}

std::wstring ChildProcess::Result() const
{
    const std::string bytes = FileBytes(m_resultFile);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

}  // namespace installer_test

// The child's side: run only when a test starts this program in a role.
namespace {

std::wstring ChildEnvironment(const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

void WriteResult(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

TEST(InstallerChild, DISABLED_Role)
{
    using namespace installer_test;
    const std::wstring role = ChildEnvironment(ChildRoleVariable);
    const std::wstring dll = ChildEnvironment(ChildDllVariable);
    const std::wstring resultFile = ChildEnvironment(ChildResultVariable);
    ASSERT_FALSE(role.empty()) << "started only by the installer tests";
    ASSERT_FALSE(resultFile.empty());

    if (role == L"hold") {
        HMODULE module = LoadLibraryW(dll.c_str());
        ASSERT_NE(module, nullptr) << "LoadLibrary error " << GetLastError();
        wchar_t loadedPath[MAX_PATH + 1] = {};
        GetModuleFileNameW(module, loadedPath, MAX_PATH);
        WriteResult(resultFile, loadedPath);
        HANDLE loaded = OpenEventW(EVENT_MODIFY_STATE, FALSE, ChildEnvironment(ChildLoadedVariable).c_str());
        HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, ChildEnvironment(ChildReleaseVariable).c_str());
        ASSERT_NE(loaded, nullptr);
        ASSERT_NE(release, nullptr);
        SetEvent(loaded);
        // As Explorer would: the DLL stays mapped until told otherwise (or two minutes).
        EXPECT_EQ(WaitForSingleObject(release, 120000), WAIT_OBJECT_0);
        FreeLibrary(module);
        CloseHandle(loaded);
        CloseHandle(release);
    } else if (role == L"probe") {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        CLSID clsid = {};
        ASSERT_EQ(CLSIDFromString(Clsid, &clsid), S_OK);
        IContextMenu* menu = nullptr;
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                            reinterpret_cast<void**>(&menu));
        wchar_t loadedPath[MAX_PATH + 1] = {};
        if (HMODULE module = GetModuleHandleW(L"MorvaneX64.dll"))
            GetModuleFileNameW(module, loadedPath, MAX_PATH);
        wchar_t hrText[16] = {};
        swprintf(hrText, 16, L"%08lX", static_cast<unsigned long>(hr));
        WriteResult(resultFile, std::wstring(hrText) + L"|" + loadedPath);
        if (menu)
            menu->Release();
        CoUninitialize();
    } else {
        FAIL() << "unknown role";
    }
}
