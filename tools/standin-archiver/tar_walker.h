// Sequential reader of tar members (ustar, GNU long names, pax paths, old tar).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace standin {

struct TarMember {
  std::string name;  // raw bytes as stored
  char type = '0';
  uint64_t size = 0;
  int64_t mtime = 0;
};

class TarWalker {
 public:
  // Does not own the handle; reads from its current position.
  explicit TarWalker(HANDLE file);

  // Moves to the next member. False at the end of the archive, or on damage
  // (then error() is non-empty).
  bool Next(TarMember& member);
  // Reads up to `size` bytes of the current member's data; got == 0 at its end.
  bool ReadData(void* buf, size_t size, size_t& got);
  const std::wstring& error() const { return error_; }

 private:
  bool ReadHeader(uint8_t* block, bool& at_end);
  bool Skip(uint64_t bytes);
  bool ReadSmallData(uint64_t size, std::string& out);
  bool Fail(const std::wstring& why);

  HANDLE file_;
  uint64_t file_size_ = 0;
  uint64_t pos_ = 0;
  uint64_t remaining_ = 0;  // data bytes of the current member not yet read
  uint64_t padding_ = 0;    // zero bytes after them up to the block boundary
  std::wstring error_;
};

}  // namespace standin
