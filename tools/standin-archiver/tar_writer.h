// Writes ustar archives.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "archive_entries.h"
#include "notes.h"

namespace standin {

// Writes the entries and the two end blocks to `out` at its current position.
// Names longer than ustar's fields get a GNU long-name record first.
bool WriteTar(HANDLE out, const std::vector<ArchiveEntry>& entries, Notes& notes,
              std::wstring& error);

}  // namespace standin
