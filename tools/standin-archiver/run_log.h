// One log record per run, appended to the file named by MORVANE_STANDIN_LOG.
//
// The record is written once, at the end of the run, in a single WriteFile
// under an exclusive byte-range lock, so a reader polling the file sees either
// nothing of this run or the whole record. standin_log.h reads it back.
#pragma once

#include <string>
#include <vector>

namespace standin {

class RunLog {
 public:
  // Captures the command line and the working folder now.
  RunLog();

  void SetListFile(const std::wstring& path);
  void SetListBytes(const std::string& bytes);
  void SetListMissing();
  void Action(const std::wstring& text);

  const std::vector<std::wstring>& actions() const { return actions_; }
  // Text of the whole record, UTF-8, "\n" line ends.
  std::string Format() const;
  // Appends the record when the variable is set; false if that fails.
  bool Write() const;

 private:
  std::wstring cmdline_;
  std::wstring cwd_;
  bool has_list_ = false;
  std::wstring list_file_;
  bool list_missing_ = false;
  std::string list_bytes_;
  std::vector<std::wstring> actions_;
};

}  // namespace standin
