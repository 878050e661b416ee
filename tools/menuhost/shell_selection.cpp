#include "shell_selection.h"

#include "exit_codes.h"
#include "text_out.h"

namespace menuhost {

namespace {

// Drive roots are children of "This PC".
const wchar_t MyComputer[] = L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

[[noreturn]] void Fail(const std::wstring& what, HRESULT hr)
{
    throw HostError(kExitSetup, what + L" failed: " + Hex(static_cast<unsigned long>(hr)));
}

struct SplitPath {
    std::wstring parent;
    std::wstring child;
};

SplitPath Split(const std::wstring& fullPath)
{
    if (IsDriveRoot(fullPath))
        return {MyComputer, fullPath};
    const size_t slash = fullPath.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        throw HostError(kExitSetup, L"not a full path: " + fullPath);
    std::wstring parent = fullPath.substr(0, slash);
    if (parent.size() == 2 && parent[1] == L':')
        parent += L'\\';
    return {parent, fullPath.substr(slash + 1)};
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

ComPtr<IShellFolder> BindFolder(const std::wstring& name)
{
    const Pidl pidl = ParseAbsolute(name);
    ComPtr<IShellFolder> folder;
    const HRESULT hr = SHBindToObject(nullptr, pidl.get(), nullptr, IID_IShellFolder, folder.PutVoid());
    if (FAILED(hr))
        Fail(L"SHBindToObject(" + name + L")", hr);
    return folder;
}

Pidl ParseChild(IShellFolder* folder, const std::wstring& name)
{
    Pidl child;
    std::wstring text = name;
    const HRESULT hr = folder->ParseDisplayName(nullptr, nullptr, &text[0], nullptr, child.Put(), nullptr);
    if (FAILED(hr))
        Fail(L"IShellFolder::ParseDisplayName(" + name + L")", hr);
    return child;
}

}  // namespace

std::wstring FullPath(const std::wstring& path)
{
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), &buffer[0], nullptr);
    if (n == 0 || n >= buffer.size())
        throw HostError(kExitSetup, L"GetFullPathNameW failed for " + path);
    buffer.resize(n);
    while (buffer.size() > 3 && buffer.back() == L'\\')
        buffer.pop_back();
    return buffer;
}

bool IsDriveRoot(const std::wstring& fullPath)
{
    return fullPath.size() == 3 && fullPath[1] == L':' && fullPath[2] == L'\\';
}

Pidl ParseAbsolute(const std::wstring& name)
{
    Pidl pidl;
    const HRESULT hr = SHParseDisplayName(name.c_str(), nullptr, pidl.Put(), 0, nullptr);
    if (FAILED(hr))
        Fail(L"SHParseDisplayName(" + name + L")", hr);
    return pidl;
}

ShellSelection SelectItems(const std::vector<std::wstring>& fullPaths)
{
    ShellSelection selection;
    std::vector<std::wstring> names;
    for (const std::wstring& path : fullPaths) {
        SplitPath split = Split(path);
        if (names.empty())
            selection.parentName = split.parent;
        else if (!SameName(split.parent, selection.parentName))
            throw HostError(kExitSetup, L"items are not all in " + selection.parentName + L": " + path);
        names.push_back(split.child);
    }
    selection.folder = BindFolder(selection.parentName);
    std::vector<LPCITEMIDLIST> list;
    for (const std::wstring& name : names) {
        selection.children.push_back(ParseChild(selection.folder.get(), name));
        list.push_back(selection.children.back().get());
    }
    const HRESULT hr = selection.folder->GetUIObjectOf(nullptr, static_cast<UINT>(list.size()), list.data(),
                                                       IID_IDataObject, nullptr, selection.data.PutVoid());
    if (FAILED(hr))
        Fail(L"IShellFolder::GetUIObjectOf(IID_IDataObject)", hr);
    return selection;
}

}  // namespace menuhost
