// One line per run, appended to %LOCALAPPDATA%\Morvane\MorvaneMenuSetup.log
// of the account the program runs as: "<UTC time> <mode> 0x<code> <outcome>".
#pragma once
#include <windows.h>

namespace menusetup {

// detail may be null. Nothing is reported when the log cannot be written:
// there is nobody to tell.
void WriteLogLine(const wchar_t* mode, DWORD code, const wchar_t* outcome, const wchar_t* detail);

}  // namespace menusetup
