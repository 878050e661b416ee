#include "run_log.h"

#include <windows.h>

#include "text.h"
#include "win_handle.h"

namespace standin {

static std::wstring CurrentDirectory() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring dir(n, L'\0');
  n = GetCurrentDirectoryW(n, &dir[0]);
  dir.resize(n < dir.size() ? n : 0);
  return dir;
}

static std::wstring EnvVar(const wchar_t* name) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(name, &value[0], n);
  value.resize(n < value.size() ? n : 0);
  return value;
}

// A field must stay on its line, or the record could not be parsed back.
static std::string Line(const char* key, const std::wstring& value) {
  std::string text = ToUtf8(value);
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return std::string(key) + ": " + text + "\n";
}

RunLog::RunLog() : cmdline_(GetCommandLineW()), cwd_(CurrentDirectory()) {}

void RunLog::SetListFile(const std::wstring& path) {
  has_list_ = true;
  list_file_ = path;
}

void RunLog::SetListBytes(const std::string& bytes) {
  list_missing_ = false;
  list_bytes_ = bytes;
}

void RunLog::SetListMissing() {
  list_missing_ = true;
  list_bytes_.clear();
}

void RunLog::Action(const std::wstring& text) { actions_.push_back(text); }

std::string RunLog::Format() const {
  std::string out = "record\n";
  out += Line("cmdline", cmdline_);
  out += Line("cwd", cwd_);
  if (has_list_) {
    out += Line("listfile", list_file_);
    out += "listbytes: " + (list_missing_ ? std::string("MISSING") : HexLower(list_bytes_)) + "\n";
  }
  for (const std::wstring& a : actions_) out += Line("action", a);
  out += "end\n";
  return out;
}

// Polls instead of blocking so a stuck peer cannot hang this process for ever.
static bool LockWithin(HANDLE file, OVERLAPPED& range, DWORD limit_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &range))
      return true;
    if (GetTickCount() - start > limit_ms) return false;
    Sleep(5);
  }
}

bool RunLog::Write() const {
  std::wstring path = EnvVar(L"MORVANE_STANDIN_LOG");
  if (path.empty()) return true;
  // Append-only access makes every write land at the end of the file; read
  // access is there because LockFileEx needs read or write data access.
  UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  OVERLAPPED range{};
  if (!LockWithin(file.Get(), range, 30000)) return false;
  std::string text = Format();
  DWORD written = 0;
  BOOL ok = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  UnlockFileEx(file.Get(), 0, MAXDWORD, MAXDWORD, &range);
  return ok && written == text.size();
}

}  // namespace standin
