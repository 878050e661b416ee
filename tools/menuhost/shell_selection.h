// The selected items as Explorer's folder view holds them: the parent folder's
// IShellFolder, the items' child ID lists and their data object.
#pragma once
#include <string>
#include <vector>

#include "owners.h"

namespace menuhost {

struct ShellSelection {
    std::wstring parentName;   // as given to SHParseDisplayName
    ComPtr<IShellFolder> folder;
    std::vector<Pidl> children;
    ComPtr<IDataObject> data;
};

std::wstring FullPath(const std::wstring& path);  // absolute, no trailing "\" but for "X:\"
bool IsDriveRoot(const std::wstring& fullPath);

// All items must be in one folder. Throws HostError(kExitSetup).
ShellSelection SelectItems(const std::vector<std::wstring>& fullPaths);
// SHParseDisplayName. Throws HostError(kExitSetup).
Pidl ParseAbsolute(const std::wstring& name);

}  // namespace menuhost
