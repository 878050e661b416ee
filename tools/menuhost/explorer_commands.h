// The Windows 11 menu as its host sees it: the DLL's IExplorerCommand entries
// created from their classes, asked for title, state, flags and icon for the
// selected items, their sub-commands listed, one of them invoked if asked.
// Windows finds the classes through the app package's COM declaration; Wine
// has no packaged COM, so this host loads the named DLL and asks its
// DllGetClassObject for the classes the package declares.
#pragma once
#include <string>
#include <vector>

namespace menuhost {

// Prints the entries; invoke is "entry title/sub-command title" or empty.
// Throws HostError.
void ListExplorerCommands(const std::wstring& dll, const std::vector<std::wstring>& fullPaths,
                          const std::wstring& invoke);

}  // namespace menuhost
