// Process exit codes of Morvane.exe.
#pragma once

namespace standin {

constexpr int kExitOk = 0;
constexpr int kExitCancelled = 1;  // the confirmation window was closed
constexpr int kExitFailed = 2;     // bad command, missing input, damaged archive, I/O error
constexpr int kExitInternal = 3;   // unexpected exception

}  // namespace standin
