// The list file a caller hands over with /l: (ANSI code page, CR LF lines).
#pragma once

#include <string>
#include <vector>

#include "cmdline.h"
#include "run_log.h"

namespace standin {

// Splits decoded list text into paths; blank lines are dropped.
std::vector<std::wstring> SplitList(const std::wstring& text);

// Reads the list named by /l:, records its exact bytes in the log and, with
// /d, deletes it (the archiver owns the list once started). Empty when the
// command has no /l: or the file cannot be read.
std::vector<std::wstring> LoadList(const Command& cmd, RunLog& log);

}  // namespace standin
