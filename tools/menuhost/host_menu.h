// The popup menu as Explorer hands it to the handlers: already holding some
// items of its own, with the handlers' place between them.
#pragma once
#include <windows.h>

#include "options.h"

namespace menuhost {

// Ids of the host's own items lie above every handler's range.
const UINT FirstHostId = 0x8000;

struct HostMenu {
    HMENU menu;
    UINT indexMenu;  // where the handlers insert
};

// Context menu: "&Open" | handlers | "P&roperties" (indexMenu 1).
// Drag menu: "&Copy here", "&Move here", "Create &shortcuts here" | handlers | separator, "Cancel" (indexMenu 3).
HostMenu CreateHostMenu(Mode mode);

}  // namespace menuhost
