#include "extract_cmd.h"

#include <windows.h>
#include <shlobj.h>

#include "exit_codes.h"
#include "fs_util.h"
#include "log_notes.h"
#include "tar_reader.h"

namespace standin {

namespace {

bool DesktopFolder(std::wstring& path) {
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, buf)))
    return false;
  path = buf;
  return CreateDirectories(path);
}

// Where a tar goes for this command; empty with `why` set if nowhere.
std::wstring Destination(const Command& cmd, const std::wstring& archive, std::wstring& why) {
  std::wstring dest;
  switch (cmd.extract) {
    case ExtractMode::kToFolder:
      if (!cmd.has_out_dir || cmd.out_dir.empty()) why = L"no output folder given with /o:";
      return cmd.out_dir;
    case ExtractMode::kBesideArchive:
      return ParentDir(FullPath(archive));
    case ExtractMode::kToDesktop:
      if (!DesktopFolder(dest)) why = L"cannot find or create the desktop folder";
      return dest;
    default:
      why = L"no destination for this command";
      return dest;
  }
}

bool TestAndLog(const std::wstring& archive, RunLog& log) {
  Notes notes;
  TarResult r = TestTar(archive, notes);
  LogNotes(log, notes);
  if (r.ok) log.Action(L"test " + archive + L": ok (" + std::to_wstring(r.entries) + L" entries)");
  return r.ok;
}

bool HandleTar(const Command& cmd, const std::wstring& archive, RunLog& log) {
  if (cmd.extract == ExtractMode::kTest) return TestAndLog(archive, log);
  if (cmd.extract == ExtractMode::kAskFolder) {
    // The real program asks for a folder here; a stand-in has nobody to ask.
    log.Action(L"ask for a folder for " + archive + L" (no window shown)");
    return true;
  }
  std::wstring why;
  std::wstring dest = Destination(cmd, archive, why);
  if (!why.empty()) {
    log.Action(L"extract failed " + archive + L": " + why);
    return false;
  }
  return ExtractAndLog(archive, dest, log);
}

}  // namespace

bool ExtractAndLog(const std::wstring& archive, const std::wstring& dest, RunLog& log) {
  Notes notes;
  TarResult r = ExtractTar(archive, dest, notes);
  LogNotes(log, notes);
  if (r.ok)
    log.Action(L"extract " + archive + L" -> " + dest);
  else
    log.Action(L"extract failed " + archive + L": " + r.error);
  return r.ok;
}

int RunExtract(const Command& cmd, const std::vector<std::wstring>& items, RunLog& log) {
  if (items.empty()) {
    log.Action(L"nothing to extract");
    return kExitFailed;
  }
  bool ok = true;
  for (const std::wstring& item : items) {
    switch (ProbeTar(item)) {
      case Probe::kUnreadable:
        log.Action(L"cannot open " + item);
        ok = false;
        break;
      case Probe::kNotTar:
        log.Action(L"not an archive: " + item);
        break;
      case Probe::kTar:
        ok = HandleTar(cmd, item, log) && ok;
        break;
    }
  }
  return ok ? kExitOk : kExitFailed;
}

}  // namespace standin
