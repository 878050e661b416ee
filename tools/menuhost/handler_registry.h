// Which handlers Explorer would load: the shellex lists of the items' classes.
#pragma once
#include <string>
#include <vector>

#include "owners.h"

namespace menuhost {

struct HandlerEntry {
    CLSID clsid;
    std::wstring clsidText;  // "{...}"
    std::wstring source;     // HKCR\<class>\shellex\<list>\<subkey>
};

// Class keys of a selected item, in the order Explorer reads them: the extension's ProgID,
// "*" and AllFilesystemObjects for files; Directory and Folder for folders;
// Drive and Folder for drive roots.
std::vector<std::wstring> ItemClassKeys(const std::wstring& fullPath);
// Class keys of a folder that items are dropped onto.
std::vector<std::wstring> DropTargetClassKeys(const std::wstring& fullPath);

// The handlers in HKCR\<class>\shellex\<listName> of every class, each CLSID once.
std::vector<HandlerEntry> FindHandlers(const std::vector<std::wstring>& classKeys, const wchar_t* listName);

// HKCR\<class> of the first class that has a key: Initialize's hkeyProgID.
RegKey OpenProgIdKey(const std::vector<std::wstring>& classKeys, std::wstring& name);

}  // namespace menuhost
