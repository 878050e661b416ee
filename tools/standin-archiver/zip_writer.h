// Writes zip archives with stored (uncompressed) entries.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "archive_entries.h"

namespace standin {

// `out` must be a new, seekable file: each local header is patched with the
// CRC once the data has been copied. No zip64: more than 65535 entries or
// anything past 4 GiB fails.
bool WriteZip(HANDLE out, const std::vector<ArchiveEntry>& entries, std::wstring& error);

}  // namespace standin
