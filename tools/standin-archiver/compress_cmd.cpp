#include "compress_cmd.h"

#include <windows.h>

#include "archive_entries.h"
#include "exit_codes.h"
#include "fs_util.h"
#include "log_notes.h"
#include "output_format.h"
#include "tar_writer.h"
#include "text.h"
#include "win_handle.h"
#include "zip_writer.h"

namespace standin {

namespace {

bool IsInput(const std::wstring& path, const std::vector<ArchiveEntry>& entries) {
  std::wstring target = StripTrailingSlashes(LongPath(FullPath(path)));
  for (const ArchiveEntry& e : entries)
    if (EqualsNoCase(target, e.source)) return true;
  return false;
}

// <folder>\<first item's name without extension>.<ext>; a name that would
// replace one of the inputs gets " (2)", " (3)", ... instead.
std::wstring DefaultOutput(const Command& cmd, const OutputFormat& fmt,
                           const std::vector<ArchiveEntry>& entries) {
  const ArchiveEntry& first = entries.front();
  std::wstring folder = cmd.has_out_dir && !cmd.out_dir.empty() ? cmd.out_dir : ParentDir(first.source);
  std::wstring name = BaseName(first.source);
  std::wstring base = first.is_dir ? name : StripExtension(name);
  std::wstring path = JoinPath(folder, base + L"." + fmt.extension);
  for (int n = 2; IsInput(path, entries) && n < 1000; ++n)
    path = JoinPath(folder, base + L" (" + std::to_wstring(n) + L")." + fmt.extension);
  return path;
}

bool WriteBody(HANDLE out, const OutputFormat& fmt, const std::vector<ArchiveEntry>& entries,
               Notes& notes, std::wstring& error) {
  return fmt.writer == Writer::kZip ? WriteZip(out, entries, error)
                                    : WriteTar(out, entries, notes, error);
}

// Writes next to the target and renames at the end, so a failed run leaves no
// half archive and an existing file is only replaced by a complete one.
bool WriteArchive(const std::wstring& path, const OutputFormat& fmt,
                  const std::vector<ArchiveEntry>& entries, Notes& notes, std::wstring& error) {
  if (!CreateDirectories(ParentDir(path))) {
    error = L"cannot create folder " + ParentDir(path);
    return false;
  }
  std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
  UniqueHandle out(CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.Valid()) {
    error = L"cannot create " + temp + L" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  bool ok = WriteBody(out.Get(), fmt, entries, notes, error);
  out.Reset();
  if (ok && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = L"cannot move the archive to " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    ok = false;
  }
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

bool PickOutput(const Command& cmd, const OutputFormat& fmt, const std::vector<ArchiveEntry>& entries,
                std::wstring& path, RunLog& log) {
  if (!cmd.has_out_path) {
    path = DefaultOutput(cmd, fmt, entries);
    return true;
  }
  path = cmd.out_path;
  if (path.empty()) {
    log.Action(L"empty output path given with /n:");
    return false;
  }
  if (IsInput(path, entries)) {
    log.Action(L"output is one of the inputs, not overwritten: " + path);
    return false;
  }
  return true;
}

void LogFormatNotes(const Command& cmd, const OutputFormat& fmt, RunLog& log) {
  if (cmd.password) log.Action(L"password switch /p ignored");
  if (cmd.self_extracting && fmt.writer == Writer::kZip)
    log.Action(L"self-extracting stub left out, wrote a plain zip");
  if (!fmt.native) log.Action(L"format " + fmt.name + L" not supported, wrote tar");
}

}  // namespace

int RunCompress(const Command& cmd, const std::vector<std::wstring>& items, RunLog& log) {
  OutputFormat fmt = ResolveFormat(cmd.format, cmd.self_extracting);
  LogFormatNotes(cmd, fmt, log);
  if (items.empty()) {
    log.Action(L"nothing to compress");
    return kExitFailed;
  }
  Notes notes;
  std::vector<ArchiveEntry> entries;
  bool gathered = GatherEntries(items, entries, notes);
  LogNotes(log, notes);
  notes.clear();
  std::wstring path, error;
  if (!gathered || entries.empty() || !PickOutput(cmd, fmt, entries, path, log))
    return kExitFailed;
  bool ok = WriteArchive(path, fmt, entries, notes, error);
  LogNotes(log, notes);
  if (!ok) {
    log.Action(L"create failed " + path + L": " + error);
    return kExitFailed;
  }
  const wchar_t* kind = fmt.writer == Writer::kZip ? L"zip" : L"tar";
  log.Action(std::wstring(L"create ") + kind + L" " + path + L" (" + std::to_wstring(entries.size()) +
             L" entries)");
  return kExitOk;
}

}  // namespace standin
