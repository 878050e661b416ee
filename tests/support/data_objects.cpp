#include "support/data_objects.h"

#include <gtest/gtest.h>

namespace {

std::wstring ParentOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash == 2 ? 3 : slash);
}

std::wstring NameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

ComPtr<IDataObject> TryShellDataObject(const std::vector<std::wstring>& paths)
{
    ComPtr<IDataObject> result;
    IdList parent(ParentOf(paths.at(0)));
    ComPtr<IShellFolder> desktop;
    ComPtr<IShellFolder> folder;
    if (!parent.get() || FAILED(SHGetDesktopFolder(desktop.put())) ||
        FAILED(desktop->BindToObject(parent.get(), nullptr, IID_IShellFolder, folder.put_void())))
        return result;
    std::vector<PITEMID_CHILD> children;
    for (const std::wstring& path : paths) {
        std::wstring name = NameOf(path);
        PIDLIST_RELATIVE child = nullptr;
        if (ParentOf(path) != ParentOf(paths[0]) ||
            FAILED(folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &child, nullptr)))
            break;
        children.push_back(static_cast<PITEMID_CHILD>(child));
    }
    if (children.size() == paths.size()) {
        folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                              const_cast<PCUITEMID_CHILD_ARRAY>(children.data()), IID_IDataObject, nullptr,
                              result.put_void());
    }
    for (PITEMID_CHILD child : children)
        CoTaskMemFree(child);
    return result;
}

ComPtr<IDataObject> ShellDataObject(const std::vector<std::wstring>& paths)
{
    ComPtr<IDataObject> result = TryShellDataObject(paths);
    if (!result)
        ADD_FAILURE() << "no data object for the paths";
    return result;
}

IdList::IdList(const std::wstring& path) : m_pidl(nullptr)
{
    if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &m_pidl, 0, nullptr)))
        m_pidl = nullptr;
}

IdList::~IdList()
{
    CoTaskMemFree(m_pidl);
}

ComPtr<IDataObject> HandMadeDataObject(HGLOBAL dropHandle)
{
    return DropHandleDataObject(dropHandle, DropHandout::Copy);
}
