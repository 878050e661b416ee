// Where an object of the Windows 11 menu sits: the root, one of its three
// entries, or a command of code under an entry.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "shellext/menu_tables.h"

enum class CommandLevel { Root, Entry, Command };
enum class MenuEntry { Extract, Compress, Convert };

// Its label is a module constant.
struct CommandNode {
    CommandLevel level;
    MenuEntry entry;
    MenuCommand command;
};

// Makes the object of a node, holding one reference and a reference to site
// (which may be null); null when memory ran out.
using CommandMaker = IExplorerCommand* (*)(const CommandNode& node, IUnknown* site);
