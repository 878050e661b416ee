// Recognising, testing and extracting tar archives.
#pragma once

#include <cstddef>
#include <string>

#include "notes.h"

namespace standin {

enum class Probe { kTar, kNotTar, kUnreadable };

// A tar starts with a header block whose checksum is right.
Probe ProbeTar(const std::wstring& path);

struct TarResult {
  bool ok = true;        // false on a damaged archive or a write failure
  size_t entries = 0;    // members extracted (or checked)
  size_t skipped = 0;    // members refused (unsafe names, links, ...)
  std::wstring error;
};

// Extracts into dest (created if missing); members land directly in it.
TarResult ExtractTar(const std::wstring& archive, const std::wstring& dest, Notes& notes);
// Walks every member and reads its data without writing anything.
TarResult TestTar(const std::wstring& archive, Notes& notes);

}  // namespace standin
