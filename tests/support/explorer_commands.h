// The entries of the Windows 11 menu through the built DLL, seen as a host
// of IExplorerCommand sees them.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "testkit/com_ptr.h"

extern const CLSID ExtractCommandClsid;
extern const CLSID CompressCommandClsid;
extern const CLSID ConvertCommandClsid;
// The three in the order of the package's verbs.
extern const CLSID* const RootCommandClsids[3];

// A new root entry through DllGetClassObject and its class factory.
ComPtr<IExplorerCommand> CreateRootCommand(const CLSID& clsid);
// The shell items of paths, in one array, as Explorer hands a selection over.
ComPtr<IShellItemArray> ItemArray(const std::vector<std::wstring>& paths);

// "title" (and ": hidden" when hidden) per root, its visible sub-commands'
// titles indented by two; flags and the other methods are checked on the way.
std::wstring DescribeCommands(IShellItemArray* items);
// The states of the three roots for items, as "shown hidden shown".
std::string RootStates(IShellItemArray* items);
// The sub-command of root titled title, or null.
ComPtr<IExplorerCommand> FindSubCommand(const CLSID& root, const std::wstring& title);
