#include "cmdline.h"

#include "text.h"

namespace standin {

static bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring SkipProgramName(const std::wstring& cmdline) {
  size_t i = 0;
  while (i < cmdline.size() && IsSpace(cmdline[i])) ++i;
  if (i < cmdline.size() && cmdline[i] == L'"') {
    size_t close = cmdline.find(L'"', i + 1);
    i = close == std::wstring::npos ? cmdline.size() : close + 1;
  }
  // Unquoted name, or text glued to the closing quote, runs to the next space.
  while (i < cmdline.size() && !IsSpace(cmdline[i])) ++i;
  return cmdline.substr(i);
}

std::vector<std::wstring> Tokenize(const std::wstring& args) {
  std::vector<std::wstring> tokens;
  std::wstring current;
  bool in_token = false;
  bool quoted = false;
  for (wchar_t c : args) {
    if (c == L'"') {
      quoted = !quoted;
      in_token = true;  // "" is an empty but present token
    } else if (IsSpace(c) && !quoted) {
      if (in_token) tokens.push_back(current);
      current.clear();
      in_token = false;
    } else {
      current += c;
      in_token = true;
    }
  }
  if (in_token) tokens.push_back(current);
  return tokens;
}

static bool ApplyFlag(const std::wstring& name, Command& cmd) {
  if (name == L"h") cmd.extract = ExtractMode::kToFolder;
  else if (name == L"od") cmd.extract = ExtractMode::kToDesktop;
  else if (name == L"oh") cmd.extract = ExtractMode::kBesideArchive;
  else if (name == L"oc") cmd.extract = ExtractMode::kAskFolder;
  else if (name == L"t") cmd.extract = ExtractMode::kTest;
  else if (name == L"d") cmd.delete_list = true;
  else if (name == L"x") cmd.self_extracting = true;
  else if (name == L"p") cmd.password = true;
  else return false;
  return true;
}

static bool ApplyValue(const std::wstring& name, const std::wstring& value, Command& cmd) {
  if (name == L"o") {
    cmd.has_out_dir = true;
    cmd.out_dir = value;
  } else if (name == L"l") {
    cmd.has_list = true;
    cmd.list_file = value;
  } else if (name == L"c") {
    cmd.has_format = true;
    cmd.format = ToLower(value);
  } else if (name == L"a2a") {
    cmd.has_convert = true;
    cmd.convert_arg = value;
  } else if (name == L"n") {
    cmd.has_out_path = true;
    cmd.out_path = value;
  } else {
    return false;
  }
  return true;
}

Command ParseArgs(const std::vector<std::wstring>& tokens) {
  Command cmd;
  for (const std::wstring& token : tokens) {
    if (token.size() < 2 || token[0] != L'/') {
      if (!token.empty()) cmd.sources.push_back(token);
      continue;
    }
    size_t colon = token.find(L':');
    bool known = colon == std::wstring::npos
                     ? ApplyFlag(ToLower(token.substr(1)), cmd)
                     : ApplyValue(ToLower(token.substr(1, colon - 1)), token.substr(colon + 1), cmd);
    if (!known) cmd.unknown.push_back(token);
  }
  return cmd;
}

Command ParseCommandLine(const std::wstring& cmdline) {
  return ParseArgs(Tokenize(SkipProgramName(cmdline)));
}

}  // namespace standin
