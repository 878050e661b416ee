#include "list_file.h"

#include <windows.h>

#include "fs_util.h"
#include "text.h"

namespace standin {

constexpr uint64_t kMaxListBytes = 16u << 20;

std::vector<std::wstring> SplitList(const std::wstring& text) {
  std::vector<std::wstring> paths;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find(L'\n', pos);
    if (eol == std::wstring::npos) eol = text.size();
    std::wstring line = text.substr(pos, eol - pos);
    while (!line.empty() && (line.back() == L'\r' || line.back() == L' ')) line.pop_back();
    if (!line.empty()) paths.push_back(line);
    pos = eol + 1;
  }
  return paths;
}

std::vector<std::wstring> LoadList(const Command& cmd, RunLog& log) {
  if (!cmd.has_list) return {};
  log.SetListFile(cmd.list_file);
  std::string bytes;
  if (cmd.list_file.empty() || !ReadWholeFile(cmd.list_file, bytes, kMaxListBytes)) {
    log.SetListMissing();
    log.Action(L"cannot read list file " + cmd.list_file);
    return {};
  }
  log.SetListBytes(bytes);
  if (cmd.delete_list) {
    if (DeleteFileW(cmd.list_file.c_str()))
      log.Action(L"delete list file " + cmd.list_file);
    else
      log.Action(L"cannot delete list file " + cmd.list_file + L" (error " +
                 std::to_wstring(GetLastError()) + L")");
  }
  return SplitList(FromAnsi(bytes));
}

}  // namespace standin
