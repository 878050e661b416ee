// This process's popup menu windows (class "#32768") on the screen.
#pragma once
#include <windows.h>

#include <vector>

namespace menuhost {

std::vector<HWND> VisibleMenuWindows();
// Polls until at least count menu windows are visible; false after limitMs.
bool WaitForMenuWindows(size_t count, DWORD limitMs);
// A pause so that the menus are drawn before they are captured.
void SettleDrawing();
// The union of the menu windows with a margin, within the screen.
RECT MenuArea();

}  // namespace menuhost
