#include "menu_windows.h"

#include "screen_capture.h"

namespace menuhost {

namespace {

const int Margin = 12;
const DWORD SettleMs = 800;

BOOL CALLBACK CollectMenu(HWND hwnd, LPARAM param)
{
    wchar_t name[16] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) &&
        lstrcmpW(name, L"#32768") == 0)
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleMenuWindows()
{
    std::vector<HWND> menus;
    EnumWindows(CollectMenu, reinterpret_cast<LPARAM>(&menus));
    return menus;
}

bool WaitForMenuWindows(size_t count, DWORD limitMs)
{
    const ULONGLONG start = GetTickCount64();
    while (VisibleMenuWindows().size() < count) {
        if (GetTickCount64() - start >= limitMs)
            return false;
        Sleep(50);
    }
    return true;
}

void SettleDrawing() { Sleep(SettleMs); }

RECT MenuArea()
{
    const RECT screen = ScreenRect();
    const std::vector<HWND> menus = VisibleMenuWindows();
    if (menus.empty())
        return screen;
    RECT area = {};
    for (HWND menu : menus) {
        RECT r;
        if (GetWindowRect(menu, &r))
            UnionRect(&area, &area, &r);
    }
    InflateRect(&area, Margin, Margin);
    RECT clipped;
    return IntersectRect(&clipped, &area, &screen) ? clipped : screen;
}

}  // namespace menuhost
