#include "host_fixture.h"

namespace menuhost_test {

namespace {

const DWORD HostLimitMs = 60000;
const DWORD Regsvr32LimitMs = 60000;

}  // namespace

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

std::string TopLevel(const std::string& tree)
{
    std::string top;
    for (size_t pos = 0; pos < tree.size();) {
        const size_t end = tree.find('\n', pos);
        const std::string line = tree.substr(pos, end == std::string::npos ? std::string::npos : end - pos + 1);
        if (line[0] != ' ')
            top += line;
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return top;
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

}  // namespace menuhost_test
