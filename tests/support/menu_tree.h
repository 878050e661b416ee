// A real HMENU read back with GetMenuItemInfoW, as text to compare whole:
// one line per item, "----" for a separator, "label [id N]" for a command,
// "label >" for a popup with its items indented by two spaces.
#pragma once
#include <windows.h>

#include <string>

std::wstring DescribeMenu(HMENU menu, int indent = 0);

// Explorer's menu before the handlers add to it: "Open" and "Properties",
// ours going in between at position 1. Ours() is what was added there (and
// checks the host's items are where they were); Untouched() the menu as made.
class HostMenu {
public:
    HostMenu();
    ~HostMenu() { DestroyMenu(m_menu); }
    HostMenu(const HostMenu&) = delete;
    HostMenu& operator=(const HostMenu&) = delete;
    HMENU get() const { return m_menu; }
    std::wstring Ours() const;
    static std::wstring Untouched() { return L"Open [id 1]\nProperties [id 2]\n"; }

private:
    HMENU m_menu;
};

// The id range the tests give a handler, as Explorer gives one.
const UINT FirstId = 100;
const UINT LastId = 0x7FFF;
