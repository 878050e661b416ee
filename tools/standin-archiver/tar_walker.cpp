#include "tar_walker.h"

#include "fs_util.h"
#include "tar_format.h"

namespace standin {

namespace {

constexpr uint64_t kMaxMetaSize = 1 << 20;  // long names and pax headers

// Pax records are "<len> key=value\n"; only the path is of use here.
bool PaxPath(const std::string& data, std::string& path) {
  size_t pos = 0;
  bool found = false;
  while (pos < data.size()) {
    size_t space = data.find(' ', pos);
    if (space == std::string::npos) break;
    size_t len = 0;
    for (size_t i = pos; i < space; ++i) {
      if (data[i] < '0' || data[i] > '9' || len > data.size()) return found;
      len = len * 10 + (data[i] - '0');
    }
    if (len < space - pos + 2 || pos + len > data.size()) return found;
    std::string record = data.substr(space + 1, pos + len - space - 2);  // drop the "\n"
    if (record.compare(0, 5, "path=") == 0) {
      path = record.substr(5);
      found = true;
    }
    pos += len;
  }
  return found;
}

std::string JoinedName(const uint8_t* block) {
  std::string name = tar::ReadString(block, tar::kName);
  if (!tar::IsUstar(block)) return name;
  std::string prefix = tar::ReadString(block, tar::kPrefix);
  return prefix.empty() ? name : prefix + "/" + name;
}

}  // namespace

TarWalker::TarWalker(HANDLE file) : file_(file) {
  LARGE_INTEGER size{}, zero{}, here{};
  if (GetFileSizeEx(file, &size)) file_size_ = static_cast<uint64_t>(size.QuadPart);
  if (SetFilePointerEx(file, zero, &here, FILE_CURRENT)) pos_ = static_cast<uint64_t>(here.QuadPart);
}

bool TarWalker::Fail(const std::wstring& why) {
  error_ = why + L" at offset " + std::to_wstring(pos_);
  return false;
}

bool TarWalker::Skip(uint64_t bytes) {
  LARGE_INTEGER move;
  move.QuadPart = static_cast<LONGLONG>(bytes);
  if (!SetFilePointerEx(file_, move, nullptr, FILE_CURRENT)) return Fail(L"seek failed");
  pos_ += bytes;
  return true;
}

bool TarWalker::ReadHeader(uint8_t* block, bool& at_end) {
  at_end = false;
  if (pos_ == file_size_) {  // no end blocks: accept the plain end of the file
    at_end = true;
    return true;
  }
  if (file_size_ - pos_ < tar::kBlock) return Fail(L"truncated header");
  if (!ReadExact(file_, block, tar::kBlock)) return Fail(L"read failed");
  if (tar::IsZeroBlock(block)) {
    at_end = true;
    return true;
  }
  if (!tar::ChecksumOk(block)) return Fail(L"bad header checksum");
  pos_ += tar::kBlock;
  return true;
}

bool TarWalker::ReadSmallData(uint64_t size, std::string& out) {
  if (size > kMaxMetaSize) return Fail(L"oversized name record");
  out.resize(static_cast<size_t>(size));
  if (size > 0 && !ReadExact(file_, &out[0], out.size())) return Fail(L"read failed");
  pos_ += size;
  return Skip(tar::PaddedSize(size) - size);
}

bool TarWalker::Next(TarMember& member) {
  if (!Skip(remaining_ + padding_)) return false;
  remaining_ = padding_ = 0;
  std::string long_name;
  bool has_long_name = false;
  for (;;) {
    uint8_t block[tar::kBlock];
    bool at_end = false;
    if (!ReadHeader(block, at_end) || at_end) return false;
    uint64_t size = 0, mtime = 0;
    if (!tar::ReadNumber(block, tar::kSize, size)) return Fail(L"bad size field");
    if (size > file_size_ - pos_) return Fail(L"member runs past the end of the file");
    char type = static_cast<char>(block[tar::kTypeOffset]);
    std::string meta;
    if (type == 'L' || type == 'K' || type == 'x' || type == 'g') {
      if (!ReadSmallData(size, meta)) return false;
      if (type == 'L') long_name = meta.substr(0, meta.find('\0'));
      has_long_name = has_long_name || type == 'L' || (type == 'x' && PaxPath(meta, long_name));
      continue;
    }
    if (!tar::ReadNumber(block, tar::kMtime, mtime)) mtime = 0;
    member.name = has_long_name ? long_name : JoinedName(block);
    member.type = type;
    member.size = size;
    member.mtime = static_cast<int64_t>(mtime > (1ULL << 40) ? 0 : mtime);
    // Links, devices and folders carry no data even if a size is stored; any
    // other type (unknown ones too) is followed by its data.
    bool no_data = type >= '1' && type <= '6';
    remaining_ = no_data ? 0 : size;
    padding_ = tar::PaddedSize(remaining_) - remaining_;
    return true;
  }
}

bool TarWalker::ReadData(void* buf, size_t size, size_t& got) {
  got = 0;
  if (remaining_ == 0 || size == 0) return true;
  size_t want = size < remaining_ ? size : static_cast<size_t>(remaining_);
  if (!ReadExact(file_, buf, want)) return Fail(L"read failed");
  pos_ += want;
  remaining_ -= want;
  got = want;
  return true;
}

}  // namespace standin
