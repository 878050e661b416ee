#include "support/menu_tree.h"

std::wstring DescribeMenu(HMENU menu, int indent)
{
    std::wstring text;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t label[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = label;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        text += std::wstring(static_cast<size_t>(indent), L' ');
        if (info.fType & MFT_SEPARATOR) {
            text += L"----\n";
        } else if (info.hSubMenu) {
            text += std::wstring(label) + L" >\n" + DescribeMenu(info.hSubMenu, indent + 2);
        } else {
            text += std::wstring(label) + L" [id " + std::to_wstring(info.wID) + L"]\n";
        }
    }
    return text;
}
