#include "tar_reader.h"

#include <vector>

#include "fs_util.h"
#include "safe_name.h"
#include "tar_format.h"
#include "tar_walker.h"
#include "text.h"
#include "win_handle.h"

namespace standin {

namespace {

UniqueHandle OpenForRead(const std::wstring& path) {
  return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool IsFileType(char type) { return type == '0' || type == '\0' || type == '7'; }

// Copies the member's data to a new file at target.
bool WriteMember(TarWalker& walker, const TarMember& m, const std::wstring& target,
                 std::wstring& error) {
  UniqueHandle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.Valid()) {
    error = L"cannot create " + target + L" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  std::vector<char> buf(1 << 16);
  size_t got = 0;
  while (walker.ReadData(buf.data(), buf.size(), got) && got > 0) {
    if (!WriteAll(out.Get(), buf.data(), got)) {
      error = L"cannot write " + target;
      return false;
    }
  }
  if (!walker.error().empty()) {
    error = walker.error();
    return false;
  }
  FILETIME ft = FileTimeFromUnix(m.mtime);
  SetFileTime(out.Get(), nullptr, nullptr, &ft);
  return true;
}

// Empty if the member may be written to dest\rel; else why not.
std::wstring WhyRefused(const TarMember& m, const std::wstring& name, bool is_dir,
                        const std::wstring& archive, const std::wstring& dest, std::wstring& rel) {
  std::wstring why;
  if (!is_dir && !IsFileType(m.type)) return L"unsupported member type";
  if (!SafeRelativePath(name, rel, why)) return why;
  if (SamePath(JoinPath(dest, rel), archive)) return L"would overwrite the archive itself";
  return {};
}

// Handles one member; false only for failures that should fail the run.
bool ExtractMember(TarWalker& walker, const TarMember& m, const std::wstring& archive,
                   const std::wstring& dest, TarResult& result, Notes& notes) {
  std::wstring name = FromUtf8OrAnsi(m.name);
  bool is_dir = m.type == '5' || (IsFileType(m.type) && !name.empty() && name.back() == L'/');
  std::wstring rel;
  std::wstring why = WhyRefused(m, name, is_dir, archive, dest, rel);
  if (!why.empty()) {
    notes.push_back(L"skip entry " + name + L": " + why);
    ++result.skipped;
    return true;
  }
  std::wstring target = JoinPath(dest, rel);
  bool made = is_dir ? CreateDirectories(target)
                     : CreateDirectories(ParentDir(target)) && WriteMember(walker, m, target, result.error);
  if (!made && result.error.empty()) result.error = L"cannot create " + target;
  if (made) ++result.entries;
  return made;
}

}  // namespace

Probe ProbeTar(const std::wstring& path) {
  if (IsDirectory(path)) return Probe::kNotTar;
  UniqueHandle file = OpenForRead(path);
  if (!file.Valid()) return Probe::kUnreadable;
  uint8_t block[tar::kBlock];
  DWORD got = 0;
  if (!ReadFile(file.Get(), block, sizeof block, &got, nullptr)) return Probe::kUnreadable;
  if (got < sizeof block) return Probe::kNotTar;
  // Two zero blocks straight away: an empty archive, which extracts nothing.
  if (tar::IsZeroBlock(block)) {
    uint8_t second[tar::kBlock];
    return ReadFile(file.Get(), second, sizeof second, &got, nullptr) && got == sizeof second &&
                   tar::IsZeroBlock(second)
               ? Probe::kTar
               : Probe::kNotTar;
  }
  if (block[0] == 0) return Probe::kNotTar;
  return tar::ChecksumOk(block) ? Probe::kTar : Probe::kNotTar;
}

TarResult ExtractTar(const std::wstring& archive, const std::wstring& dest, Notes& notes) {
  TarResult result;
  UniqueHandle file = OpenForRead(archive);
  if (!file.Valid()) {
    result.ok = false;
    result.error = L"cannot open " + archive;
    return result;
  }
  if (!CreateDirectories(dest)) {
    result.ok = false;
    result.error = L"cannot create folder " + dest;
    return result;
  }
  TarWalker walker(file.Get());
  TarMember m;
  while (walker.Next(m)) {
    if (!ExtractMember(walker, m, archive, dest, result, notes)) {
      result.ok = false;
      return result;
    }
  }
  if (!walker.error().empty()) {
    result.ok = false;
    result.error = walker.error();
  }
  return result;
}

TarResult TestTar(const std::wstring& archive, Notes& notes) {
  TarResult result;
  UniqueHandle file = OpenForRead(archive);
  TarWalker walker(file.Get());
  TarMember m;
  std::vector<char> buf(1 << 16);
  while (file.Valid() && walker.Next(m)) {
    size_t got = 0;
    while (walker.ReadData(buf.data(), buf.size(), got) && got > 0) {
    }
    if (!walker.error().empty()) break;
    ++result.entries;
  }
  if (!file.Valid() || !walker.error().empty()) {
    result.ok = false;
    result.error = file.Valid() ? walker.error() : L"cannot open " + archive;
    notes.push_back(L"test failed " + archive + L": " + result.error);
  }
  return result;
}

}  // namespace standin
