// Compress commands (/c:<format>), from the shell menu or a conversion's second run (/n:).
#pragma once

#include <string>
#include <vector>

#include "cmdline.h"
#include "run_log.h"

namespace standin {

// Archives the listed items. Returns an exit code.
int RunCompress(const Command& cmd, const std::vector<std::wstring>& items, RunLog& log);

}  // namespace standin
