#include "output_format.h"

namespace standin {

OutputFormat ResolveFormat(const std::wstring& name, bool self_extracting) {
  struct Known {
    const wchar_t* name;
    const wchar_t* extension;
  };
  static const Known kKnown[] = {
      {L"lzh", L"lzh"}, {L"zip", L"zip"},     {L"bh", L"bh"},         {L"bz2", L"bz2"},
      {L"cab", L"cab"}, {L"gz", L"gz"},       {L"tar", L"tar"},       {L"tbz", L"tar.bz2"},
      {L"tgz", L"tar.gz"}, {L"uue", L"uue"}, {L"xxe", L"xxe"},       {L"b64", L"b64"},
  };
  OutputFormat f;
  f.name = name;
  f.extension = L"tar";  // unknown formats: a tar under a neutral name
  for (const Known& k : kKnown)
    if (name == k.name) f.extension = k.extension;
  if (name == L"zip") {
    f.writer = Writer::kZip;
    f.native = true;
    if (self_extracting) f.extension = L"exe";
  }
  if (name == L"tar") f.native = true;
  return f;
}

}  // namespace standin
