// What Explorer does with a command item: asks for its verb and help text,
// and invokes it on the handler that owns its id.
#pragma once
#include <string>
#include <vector>

#include "handler_host.h"
#include "menu_tree.h"

namespace menuhost {

// " verb \"...\" help \"...\"" (a failed call shows "!0x........"); empty for host items.
std::wstring CommandStrings(const HandlerHost& host, const MenuNode& node);

// InvokeCommand with CMINVOKECOMMANDINFOEX and the item's offset as verb.
// Throws HostError(kExitNoSuchItem or kExitInvokeFailed).
void InvokeByLabelPath(const HandlerHost& host, const std::vector<MenuNode>& menu, const std::wstring& path);

}  // namespace menuhost
