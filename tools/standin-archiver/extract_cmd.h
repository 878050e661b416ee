// Extract commands from the shell menu: /h, /od, /oh, /oc, /t.
#pragma once

#include <string>
#include <vector>

#include "cmdline.h"
#include "run_log.h"

namespace standin {

// Extracts each listed tar; other files are logged and skipped. Returns an exit code.
int RunExtract(const Command& cmd, const std::vector<std::wstring>& items, RunLog& log);

// Extracts one tar into dest and logs it; false on failure.
bool ExtractAndLog(const std::wstring& archive, const std::wstring& dest, RunLog& log);

}  // namespace standin
