#include "shell_item.h"

ComPtr<IDataObject> ShellDataObject(const std::wstring& path)
{
    ComPtr<IDataObject> result;
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr)))
        return result;
    ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    if (SUCCEEDED(SHBindToParent(item, IID_IShellFolder, parent.put_void(), &child)))
        parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, result.put_void());
    CoTaskMemFree(item);
    return result;
}
