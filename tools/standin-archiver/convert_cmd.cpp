#include "convert_cmd.h"

#include "confirm_window.h"
#include "exit_codes.h"
#include "extract_cmd.h"
#include "tar_reader.h"

namespace standin {

// Long enough for a person, short enough that a forgotten window cannot keep
// a test run or a demo waiting for ever.
constexpr UINT kConfirmLimitMs = 120000;

static int Confirm(const std::wstring& source, RunLog& log) {
  switch (RunConfirmWindow(source, kConfirmLimitMs)) {
    case ConfirmEnd::kClosed:
      log.Action(L"confirm window closed");
      return kExitCancelled;
    case ConfirmEnd::kTimedOut:
      log.Action(L"confirm window timed out after " + std::to_wstring(kConfirmLimitMs / 1000) +
                 L" s");
      return kExitCancelled;
    default:
      log.Action(L"cannot create the confirm window");
      return kExitFailed;
  }
}

int RunConvertExtract(const Command& cmd, RunLog& log) {
  if (!cmd.has_out_dir || cmd.out_dir.empty() || cmd.sources.empty()) {
    log.Action(L"conversion needs /o: and a source archive");
    return kExitFailed;
  }
  const std::wstring& source = cmd.sources.front();
  for (size_t i = 1; i < cmd.sources.size(); ++i)
    log.Action(L"extra source ignored: " + cmd.sources[i]);
  switch (ProbeTar(source)) {
    case Probe::kTar:
      return ExtractAndLog(source, cmd.out_dir, log) ? kExitOk : kExitFailed;
    case Probe::kNotTar:
      log.Action(L"not an archive: " + source);
      return Confirm(source, log);
    default:
      log.Action(L"cannot open " + source);
      return kExitFailed;
  }
}

}  // namespace standin
