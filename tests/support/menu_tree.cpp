#include "support/menu_tree.h"

#include <gtest/gtest.h>

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

HostMenu::HostMenu() : m_menu(CreatePopupMenu())
{
    InsertMenuW(m_menu, 0, MF_STRING | MF_BYPOSITION, 1, L"Open");
    InsertMenuW(m_menu, 1, MF_STRING | MF_BYPOSITION, 2, L"Properties");
}

std::wstring HostMenu::Ours() const
{
    const std::wstring all = DescribeMenu(m_menu);
    const std::wstring open = L"Open [id 1]\n";
    const std::wstring properties = L"Properties [id 2]\n";
    EXPECT_EQ(all.compare(0, open.size(), open), 0);
    EXPECT_GE(all.size(), open.size() + properties.size());
    EXPECT_EQ(all.substr(all.size() - properties.size()), properties);
    return all.substr(open.size(), all.size() - open.size() - properties.size());
}
