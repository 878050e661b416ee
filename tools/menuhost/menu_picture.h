// --png: the menu shown for real with TrackPopupMenuEx on a hidden owner
// window, pictured by a second thread, then closed with EndMenu.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "menu_tree.h"

namespace menuhost {

// openLabel: the top-level popup to open in the picture; empty for the first
// popup. Throws HostError(kExitPictureFailed or kExitNoSuchItem).
void PictureMenu(HMENU menu, const std::vector<MenuNode>& tree, const std::wstring& pngPath,
                 const std::wstring& openLabel);

}  // namespace menuhost
