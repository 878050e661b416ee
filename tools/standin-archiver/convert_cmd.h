// First run of a conversion: /a2a:<n> /o:<temp folder> <source archive>.
#pragma once

#include "cmdline.h"
#include "run_log.h"

namespace standin {

// A tar source is extracted into the /o: folder (exit 0); anything else shows
// the confirmation window and ends with kExitCancelled once it is closed.
int RunConvertExtract(const Command& cmd, RunLog& log);

}  // namespace standin
