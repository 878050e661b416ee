// Command-line tokenizer and switch parser.
//
// Our own rules rather than CommandLineToArgvW: a backslash is always a literal
// (so /o:"C:\out\" keeps its trailing backslash), quotes only group, and a
// quoted value may be glued to its switch (/o:"C:\a b").
#pragma once

#include <string>
#include <vector>

namespace standin {

// Returns the part after the program name (argv[0]), quoted or not.
std::wstring SkipProgramName(const std::wstring& cmdline);
std::vector<std::wstring> Tokenize(const std::wstring& args);

enum class ExtractMode { kNone, kToFolder, kToDesktop, kBesideArchive, kAskFolder, kTest };

struct Command {
  ExtractMode extract = ExtractMode::kNone;  // /h, /od, /oh, /oc, /t
  bool has_out_dir = false;                  // /o:<folder>
  std::wstring out_dir;
  bool has_list = false;                     // /l:<list file>
  std::wstring list_file;
  bool delete_list = false;                  // /d
  bool has_format = false;                   // /c:<format>, lower case
  std::wstring format;
  bool self_extracting = false;              // /x
  bool password = false;                     // /p
  bool has_convert = false;                  // /a2a:<n>
  std::wstring convert_arg;
  bool has_out_path = false;                 // /n:<archive path>
  std::wstring out_path;
  std::vector<std::wstring> sources;         // bare tokens
  std::vector<std::wstring> unknown;         // switches we do not know, as given
};

Command ParseArgs(const std::vector<std::wstring>& tokens);
Command ParseCommandLine(const std::wstring& cmdline);

}  // namespace standin
