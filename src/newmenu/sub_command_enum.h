// IEnumExplorerCommand over the sub-commands of an object of the menu.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "newmenu/command_node.h"

// The enumerator of a list of nodes, over a copy of it; each Next hands out
// new objects from make that take site. Null when memory ran out.
IEnumExplorerCommand* CreateSubCommandEnum(const CommandNode* nodes, int count, IUnknown* site,
                                           CommandMaker make);
