// The Windows 11 menu's entry: IExplorerCommand objects that a packaged host
// (dllhost.exe, by the package's COM declaration) creates through
// DllGetClassObject. Windows groups the verbs of a package with more than
// one into a flyout named after the package, so the package declares one
// verb, "Morvane", which opens 解凍, 圧縮 and 変換; their sub-commands run
// the classic commands through CShellExt.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "newmenu/command_node.h"

extern const CLSID CLSID_MorvaneCommand;

// Class creator for the factory: a new "Morvane" entry, asked for riid.
HRESULT CreateMorvaneCommand(REFIID riid, void** ppv);

// The object of node, holding one reference and a reference to site (which
// may be null); null when memory ran out. A CommandMaker.
IExplorerCommand* CreateCommandObject(const CommandNode& node, IUnknown* site);
