// What the menu host tests share: running menuhost.exe and regsvr32, and
// reading what the host printed. Files, folders and the per-user switches
// come from tests/support like every other test's.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "support/environment.h"

namespace menuhost_test {

std::wstring Quote(const std::wstring& text);

// menuhost.exe of this build with the given arguments, 60 s at most.
ChildResult RunMenuhost(const std::vector<std::wstring>& args);
// The printed menu: the lines after "menu:" that belong to the tree.
std::string MenuTree(const std::string& out);
// The same, top-level items only: where the handler's items stand among the host's.
std::string TopLevel(const std::string& tree);
// How many lines start with the prefix.
int CountLines(const std::string& out, const std::string& prefix);

// The system's regsvr32 on the built DLL ("/s", or "/u /s"); its exit code, or -1.
long Regsvr32(bool unregister);

}  // namespace menuhost_test
