// The command line of menuhost.exe.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace menuhost {

enum class Mode { Context, Drop, Commands };

struct Options {
    Mode mode = Mode::Context;
    std::wstring target;               // drop: the folder dropped onto
    std::vector<std::wstring> items;   // the selected or dragged items
    UINT flags = CMF_NORMAL | CMF_EXPLORE;
    bool verbs = false;
    std::wstring invoke;               // label path, "/"-separated
    std::wstring png;                  // picture file
    std::wstring open;                 // top-level popup opened in the picture
    std::wstring dll;                  // commands: the DLL that serves the entries
};

extern const wchar_t UsageText[];

// Throws HostError(kExitUsage) on a bad command line.
Options ParseOptions(int argc, wchar_t** argv);

}  // namespace menuhost
