#include "host_fixture.h"

#include "testkit/scratch_folder.h"

namespace menuhost_test {

namespace {

const DWORD HostLimitMs = 60000;
const DWORD Regsvr32LimitMs = 60000;

}  // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Quote(const std::wstring& text) { return L"\"" + text + L"\""; }

ChildResult RunMenuhost(const std::vector<std::wstring>& args)
{
    std::wstring line = Quote(std::wstring(MORVANE_BUILD_DIR) + L"\\tools\\menuhost.exe");
    for (const std::wstring& arg : args)
        line += L" " + Quote(arg);
    return RunChild(line, HostLimitMs);
}

std::string MenuTree(const std::string& out)
{
    const size_t header = out.find("\nmenu:\n");
    if (header == std::string::npos)
        return {};
    std::string tree;
    size_t pos = header + 7;
    while (pos < out.size()) {
        const size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end == std::string::npos ? std::string::npos : end - pos + 1);
        if (line.empty() || !(line[0] == ' ' || (line[0] >= '0' && line[0] <= '9')))
            break;
        tree += line;
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return tree;
}

int CountLines(const std::string& out, const std::string& prefix)
{
    int count = 0;
    for (size_t pos = 0; pos < out.size();) {
        if (out.compare(pos, prefix.size(), prefix) == 0)
            ++count;
        const size_t end = out.find('\n', pos);
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return count;
}

long Regsvr32(bool unregister)
{
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return -1;
    const std::wstring line = Quote(std::wstring(system) + L"\\regsvr32.exe") + (unregister ? L" /u" : L"") +
                              L" /s " + Quote(MORVANE_DLL);
    const ChildResult result = RunChild(line, Regsvr32LimitMs);
    if (!result.started || result.timedOut)
        return -1;
    return static_cast<long>(result.exitCode);
}

MenuSettings::MenuSettings()
{
    const std::wstring shell = L"Software\\Quodle\\Morvane\\m_tbsShell";
    for (const wchar_t* name : {L"m_chkCMCompress", L"m_chkCMExtract", L"m_chkDDCompress", L"m_chkDDExtract"})
        AddDword(shell, name, 1);
    AddDword(L"Software\\Quodle\\Morvane\\m_chkCompressMenu", L"zip", 1);
    AddDword(L"Software\\Quodle\\Morvane\\m_chkCompressMenu", L"tar", 1);
    AddDword(L"Software\\Brantix\\Morvane_x64_shell_extension", L"AdditionalMenu", 1);
}

void MenuSettings::AddDword(const std::wstring& path, const std::wstring& name, DWORD value)
{
    values_.push_back(
        std::make_unique<ScopedValue>(HKEY_CURRENT_USER, path, name, REG_DWORD, &value, sizeof(value)));
}

void MenuSettings::Add(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    values_.push_back(std::make_unique<ScopedValue>(root, path, name, REG_SZ, text.c_str(), bytes));
}

bool MenuSettings::ok() const
{
    for (const auto& value : values_)
        if (!value->ok())
            return false;
    return true;
}

ScratchFolder::ScratchFolder()
{
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp, n) + L"menuhost-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

bool ScratchFolder::AddFile(const std::wstring& name, const std::string& bytes) const
{
    return TryWriteBytes(*this / name, bytes);
}

bool ScratchFolder::AddFolder(const std::wstring& name) const
{
    return CreateDirectoryW((*this / name).c_str(), nullptr) != FALSE;
}

}  // namespace menuhost_test
