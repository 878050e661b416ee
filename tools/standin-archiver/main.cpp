// Morvane.exe: a stand-in for the archiver application, for tests and demos.
// It understands the archiver's command lines, really handles tar (and writes
// zip), and logs one record per run to %MORVANE_STANDIN_LOG%.
#include <windows.h>

#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "cmdline.h"
#include "compress_cmd.h"
#include "convert_cmd.h"
#include "exit_codes.h"
#include "extract_cmd.h"
#include "list_file.h"
#include "run_log.h"
#include "text.h"

namespace standin {
namespace {

int Run(RunLog& log) {
  Command cmd = ParseCommandLine(GetCommandLineW());
  for (const std::wstring& s : cmd.unknown) log.Action(L"unknown switch " + s);
  std::vector<std::wstring> items = LoadList(cmd, log);
  if (cmd.has_format) {
    items.insert(items.end(), cmd.sources.begin(), cmd.sources.end());
    return RunCompress(cmd, items, log);
  }
  if (cmd.has_convert) return RunConvertExtract(cmd, log);
  if (cmd.extract != ExtractMode::kNone) {
    items.insert(items.end(), cmd.sources.begin(), cmd.sources.end());
    return RunExtract(cmd, items, log);
  }
  log.Action(L"no command given");
  return kExitFailed;
}

}  // namespace
}  // namespace standin

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // No "insert a disk" or crash boxes: nobody may be there to answer them.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  standin::RunLog log;
  int code = standin::kExitInternal;
  try {
    code = standin::Run(log);
  } catch (const std::exception& e) {
    log.Action(L"internal error: " + standin::FromAnsi(e.what()));
  } catch (...) {
    log.Action(L"internal error");
  }
  // Last thing before exit: readers take the record as "the run is over".
  log.Write();
  // A test standing this program in for another one sets the exit code that
  // one would give (hexadecimal: an HRESULT).
  wchar_t given[16] = {};
  DWORD length = GetEnvironmentVariableW(L"MORVANE_STANDIN_EXIT_CODE", given, 16);
  if (length > 0 && length < 16) return static_cast<int>(wcstoul(given, nullptr, 16));
  return code;
}
