#include "tar_writer.h"

#include <cstring>

#include "fs_util.h"
#include "tar_format.h"
#include "win_handle.h"

namespace standin {

namespace {

// Splits a long name into ustar's prefix and name fields at a "/".
bool SplitUstarName(const std::string& full, std::string& prefix, std::string& name) {
  for (size_t cut = full.find('/'); cut != std::string::npos; cut = full.find('/', cut + 1)) {
    if (cut <= tar::kPrefix.size && full.size() - cut - 1 <= tar::kName.size &&
        cut + 1 < full.size()) {
      prefix = full.substr(0, cut);
      name = full.substr(cut + 1);
      return true;
    }
  }
  return false;
}

void FillHeader(uint8_t* block, const std::string& name, char type, uint64_t size, int64_t mtime) {
  std::memset(block, 0, tar::kBlock);
  tar::WriteString(block, tar::kName, name);
  tar::WriteNumber(block, tar::kMode, type == '5' ? 0755 : 0644);
  tar::WriteNumber(block, tar::kUid, 0);
  tar::WriteNumber(block, tar::kGid, 0);
  tar::WriteNumber(block, tar::kSize, size);
  tar::WriteNumber(block, tar::kMtime, static_cast<uint64_t>(mtime < 0 ? 0 : mtime));
  block[tar::kTypeOffset] = static_cast<uint8_t>(type);
  std::memcpy(block + tar::kMagic.offset, "ustar", 6);  // with its NUL
  std::memcpy(block + tar::kVersion.offset, "00", 2);
}

bool WritePadding(HANDLE out, uint64_t size) {
  static const char kZeros[tar::kBlock] = {};
  return WriteAll(out, kZeros, static_cast<size_t>(tar::PaddedSize(size) - size));
}

bool WriteHeaders(HANDLE out, const std::string& full, char type, uint64_t size, int64_t mtime) {
  uint8_t block[tar::kBlock];
  std::string prefix, name = full;
  if (full.size() > tar::kName.size && !SplitUstarName(full, prefix, name)) {
    std::string data = full + '\0';
    FillHeader(block, "././@LongLink", 'L', data.size(), 0);
    tar::WriteChecksum(block);
    if (!WriteAll(out, block, sizeof block) || !WriteAll(out, data.data(), data.size()) ||
        !WritePadding(out, data.size()))
      return false;
    name = full.substr(0, tar::kName.size);
  }
  FillHeader(block, name, type, size, mtime);
  tar::WriteString(block, tar::kPrefix, prefix);
  tar::WriteChecksum(block);
  return WriteAll(out, block, sizeof block);
}

// Copies exactly `size` bytes; a file that shrank meanwhile is padded with zeros.
bool CopyData(HANDLE out, HANDLE in, uint64_t size, bool& shrank) {
  std::vector<char> buf(1 << 16);
  uint64_t left = size;
  shrank = false;
  while (left > 0) {
    DWORD want = static_cast<DWORD>(left < buf.size() ? left : buf.size());
    DWORD got = 0;
    if (!shrank && (!ReadFile(in, buf.data(), want, &got, nullptr) || got == 0)) shrank = true;
    if (shrank) {
      std::memset(buf.data(), 0, want);
      got = want;
    }
    if (!WriteAll(out, buf.data(), got)) return false;
    left -= got;
  }
  return WritePadding(out, size);
}

bool WriteFileEntry(HANDLE out, const ArchiveEntry& e, Notes& notes, std::wstring& error) {
  UniqueHandle in(CreateFileW(e.source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size{};
  if (!in.Valid() || !GetFileSizeEx(in.Get(), &size)) {
    error = L"cannot read " + e.source;
    return false;
  }
  uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
  bool shrank = false;
  if (!WriteHeaders(out, e.name, '0', bytes, UnixTimeFromFileTime(e.mtime)) ||
      !CopyData(out, in.Get(), bytes, shrank)) {
    error = L"cannot write the archive";
    return false;
  }
  if (shrank) notes.push_back(L"file shrank while being read, padded: " + e.source);
  return true;
}

}  // namespace

bool WriteTar(HANDLE out, const std::vector<ArchiveEntry>& entries, Notes& notes,
              std::wstring& error) {
  for (const ArchiveEntry& e : entries) {
    bool ok = e.is_dir ? WriteHeaders(out, e.name, '5', 0, UnixTimeFromFileTime(e.mtime))
                       : WriteFileEntry(out, e, notes, error);
    if (!ok) {
      if (error.empty()) error = L"cannot write the archive";
      return false;
    }
  }
  static const char kEnd[2 * tar::kBlock] = {};
  if (WriteAll(out, kEnd, sizeof kEnd)) return true;
  error = L"cannot write the archive";
  return false;
}

}  // namespace standin
