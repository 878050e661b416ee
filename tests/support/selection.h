#pragma once
#include <string>
#include <vector>

#include "shellext/shell_ext.h"

// Puts paths into an object's selection as Initialize would leave them.
void SetSelection(CShellExt* ext, const std::vector<std::wstring>& paths);
// The list-file line of a path: its short form (where the volume gives one)
// in the ANSI code page, "_" for what the code page lacks, then CR LF.
std::string ListLine(const std::wstring& path);
