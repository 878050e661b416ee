#include "tar_format.h"

#include <cstring>

namespace standin {
namespace tar {

std::string ReadString(const uint8_t* block, Field f) {
  const char* p = reinterpret_cast<const char*>(block + f.offset);
  size_t n = 0;
  while (n < f.size && p[n] != '\0') ++n;
  return std::string(p, n);
}

bool ReadNumber(const uint8_t* block, Field f, uint64_t& value) {
  const uint8_t* p = block + f.offset;
  value = 0;
  if (p[0] & 0x80) {  // base-256: big-endian, first byte's top bit is the marker
    if (p[0] & 0x40) return false;  // negative
    for (size_t i = 0; i < f.size; ++i) {
      uint8_t byte = i == 0 ? (p[0] & 0x3F) : p[i];
      if (value >> 56) return false;
      value = (value << 8) | byte;
    }
    return true;
  }
  size_t i = 0;
  while (i < f.size && p[i] == ' ') ++i;
  bool any = false;
  for (; i < f.size && p[i] >= '0' && p[i] <= '7'; ++i) {
    if (value >> 60) return false;
    value = value * 8 + (p[i] - '0');
    any = true;
  }
  for (; i < f.size; ++i)
    if (p[i] != ' ' && p[i] != '\0') return false;
  return any;
}

bool IsZeroBlock(const uint8_t* block) {
  for (size_t i = 0; i < kBlock; ++i)
    if (block[i] != 0) return false;
  return true;
}

bool ChecksumOk(const uint8_t* block) {
  uint64_t stored = 0;
  if (!ReadNumber(block, kChecksum, stored)) return false;
  int64_t unsigned_sum = 0, signed_sum = 0;
  for (size_t i = 0; i < kBlock; ++i) {
    bool in_field = i >= kChecksum.offset && i < kChecksum.offset + kChecksum.size;
    uint8_t c = in_field ? ' ' : block[i];
    unsigned_sum += c;
    signed_sum += static_cast<int8_t>(c);
  }
  return static_cast<int64_t>(stored) == unsigned_sum || static_cast<int64_t>(stored) == signed_sum;
}

bool IsUstar(const uint8_t* block) {
  return std::memcmp(block + kMagic.offset, "ustar", 5) == 0;
}

void WriteString(uint8_t* block, Field f, const std::string& text) {
  std::memcpy(block + f.offset, text.data(), text.size() < f.size ? text.size() : f.size);
}

void WriteNumber(uint8_t* block, Field f, uint64_t value) {
  uint8_t* p = block + f.offset;
  // f.size - 1 octal digits plus a NUL.
  uint64_t limit = 1ULL << (3 * (f.size - 1));
  if (value < limit) {
    for (size_t i = f.size - 1; i-- > 0;) {
      p[i] = static_cast<uint8_t>('0' + (value & 7));
      value >>= 3;
    }
    p[f.size - 1] = '\0';
    return;
  }
  for (size_t i = f.size; i-- > 0;) {
    p[i] = static_cast<uint8_t>(value & 0xFF);
    value >>= 8;
  }
  p[0] = 0x80;
}

void WriteChecksum(uint8_t* block) {
  std::memset(block + kChecksum.offset, ' ', kChecksum.size);
  uint32_t sum = 0;
  for (size_t i = 0; i < kBlock; ++i) sum += block[i];
  // Six octal digits, NUL, space: the form tar programs write.
  for (int i = 5; i >= 0; --i) {
    block[kChecksum.offset + i] = static_cast<uint8_t>('0' + (sum & 7));
    sum >>= 3;
  }
  block[kChecksum.offset + 6] = '\0';
  block[kChecksum.offset + 7] = ' ';
}

}  // namespace tar
}  // namespace standin
