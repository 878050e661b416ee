// The menu read back item by item, printed as an indented tree.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace menuhost {

struct MenuNode {
    enum Kind { Command, Separator, Popup };
    int position = 0;
    Kind kind = Command;
    std::wstring label;  // as in the menu, "&" included
    UINT id = 0;
    std::vector<MenuNode> children;
};

// GetMenuItemCount and GetMenuItemInfoW (MIIM_FTYPE|MIIM_ID|MIIM_STRING|MIIM_SUBMENU).
std::vector<MenuNode> ReadMenu(HMENU menu);

// "<position> <label> [id N]<extra>", "<position> ----", popups followed by
// their items indented by two spaces. extra may add text to command lines.
void PrintMenu(const std::vector<MenuNode>& nodes,
               const std::function<std::wstring(const MenuNode&)>& extra);

// The item at a "/"-separated label path, or null.
const MenuNode* FindByLabelPath(const std::vector<MenuNode>& nodes, const std::wstring& path);

}  // namespace menuhost
