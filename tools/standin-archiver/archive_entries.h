// The files and folders that go into a new archive.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "notes.h"

namespace standin {

struct ArchiveEntry {
  std::wstring source;  // full path on disk
  std::string name;     // UTF-8, "/" separated, folders end in "/"
  bool is_dir = false;
  uint64_t size = 0;
  FILETIME mtime{};
};

// Listed files and folders, folders with everything below them, parents before
// children. Names are relative to each listed item's parent folder and use the
// long form of 8.3 names. Links are not followed. False if a listed item is
// missing or cannot be archived (the reason is in notes).
bool GatherEntries(const std::vector<std::wstring>& listed, std::vector<ArchiveEntry>& out,
                   Notes& notes);

}  // namespace standin
