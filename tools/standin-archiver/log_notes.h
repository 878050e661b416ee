// Moves notes from the archive code into the run's log.
#pragma once

#include "notes.h"
#include "run_log.h"

namespace standin {

inline void LogNotes(RunLog& log, const Notes& notes) {
  for (const std::wstring& n : notes) log.Action(n);
}

}  // namespace standin
