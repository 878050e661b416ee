#include "support/selection.h"

#include "support/environment.h"

void SetSelection(CShellExt* ext, const std::vector<std::wstring>& paths)
{
    ext->Selection.clear();
    for (const std::wstring& path : paths) {
        CShellExt::PATH_INFO record = {};
        path.copy(record.path, MAX_PATH);
        ext->Selection.append(record);
    }
}

std::string ListLine(const std::wstring& path)
{
    const std::wstring shortPath = ShortPath(path);
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortPath.c_str(), -1, nullptr, 0, "_", nullptr);
    std::string line(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortPath.c_str(), -1, &line[0], n, "_", nullptr);
    line.pop_back();
    return line + "\r\n";
}
