// What /c:<format> (and /x) mean for the file written.
#pragma once

#include <string>

namespace standin {

enum class Writer { kTar, kZip };

struct OutputFormat {
  std::wstring name;        // as given after /c:
  std::wstring extension;   // without the dot: "tar.gz", "exe", ...
  Writer writer = Writer::kTar;
  bool native = false;      // false: the format is stood in for by a tar
};

OutputFormat ResolveFormat(const std::wstring& name, bool self_extracting);

}  // namespace standin
