// Reader for the stand-in archiver's run log (header-only, Windows side).
//
// Each run of Morvane.exe appends one record:
//   record
//   cmdline: ...
//   cwd: ...
//   listfile: ...      (only with /l:)
//   listbytes: <hex>   (only with /l:; "MISSING" when unreadable)
//   action: ...        (any number)
//   end
// Only records that reached their "end" line are returned, so a record still
// being written (or cut off) is never seen half-way.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace standin_log {

struct Record {
  std::string cmdline;            // UTF-8
  std::string cwd;                // UTF-8
  bool has_listfile = false;
  std::string listfile;           // UTF-8, as given with /l:
  bool list_missing = false;      // listbytes was MISSING
  std::string listbytes;          // raw bytes of the list file
  std::vector<std::string> actions;  // UTF-8, in order

  // True if some action line contains the text.
  bool HasAction(const std::string& text) const {
    for (const std::string& a : actions)
      if (a.find(text) != std::string::npos) return true;
    return false;
  }
};

namespace detail {

// "key: value"; a bare "key:" is an empty value.
inline bool TakeField(const std::string& line, const char* key, std::string& value) {
  std::string prefix = std::string(key) + ":";
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  value = line.substr(prefix.size());
  if (!value.empty() && value[0] == ' ') value.erase(0, 1);
  return true;
}

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline void SetListBytes(const std::string& hex, Record& r) {
  if (hex == "MISSING") {
    r.list_missing = true;
    return;
  }
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) break;
    r.listbytes += static_cast<char>(hi * 16 + lo);
  }
}

inline void ApplyLine(const std::string& line, Record& r) {
  std::string value;
  if (TakeField(line, "cmdline", value)) r.cmdline = value;
  else if (TakeField(line, "cwd", value)) r.cwd = value;
  else if (TakeField(line, "listfile", value)) { r.has_listfile = true; r.listfile = value; }
  else if (TakeField(line, "listbytes", value)) SetListBytes(value, r);
  else if (TakeField(line, "action", value)) r.actions.push_back(value);
}

}  // namespace detail

// Parses log text; an unterminated last record is left out.
inline std::vector<Record> ParseLog(const std::string& text) {
  std::vector<Record> records;
  Record current;
  bool open = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) break;  // a line still being written
    std::string line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (line == "record") {
      current = Record();
      open = true;
    } else if (line == "end") {
      if (open) records.push_back(current);
      open = false;
    } else if (open) {
      detail::ApplyLine(line, current);
    }
  }
  return records;
}

// Reads the log under a shared lock (the writer holds an exclusive one while it
// appends). False if the file cannot be opened, locked or read right now.
inline bool ReadLogText(const std::wstring& path, std::string& text) {
  text.clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED range{};
  bool ok = LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &range) != FALSE;
  if (ok) {
    char buf[65536];
    DWORD got = 0;
    while ((ok = ReadFile(file, buf, sizeof buf, &got, nullptr) != FALSE) && got > 0)
      text.append(buf, got);
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &range);
  }
  CloseHandle(file);
  return ok;
}

// Complete records of the log file; empty if it does not exist (yet).
inline std::vector<Record> ReadLog(const std::wstring& path) {
  std::string text;
  if (!ReadLogText(path, text)) return {};
  return ParseLog(text);
}

// Polls until the log holds at least `count` complete records or `timeout_ms`
// passes. Returns true on success; `out` (optional) gets the records last read.
inline bool WaitForRecords(const std::wstring& path, size_t count, DWORD timeout_ms,
                           std::vector<Record>* out = nullptr) {
  DWORD start = GetTickCount();
  for (;;) {
    std::string text;
    if (ReadLogText(path, text)) {
      std::vector<Record> records = ParseLog(text);
      if (out) *out = records;
      if (records.size() >= count) return true;
    }
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(20);
  }
}

}  // namespace standin_log
