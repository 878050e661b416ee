// A real HMENU read back with GetMenuItemInfoW, as text to compare whole:
// one line per item, "----" for a separator, "label [id N]" for a command,
// "label >" for a popup with its items indented by two spaces.
#pragma once
#include <windows.h>

#include <string>

std::wstring DescribeMenu(HMENU menu, int indent = 0);
