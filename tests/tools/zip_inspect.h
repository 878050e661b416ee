// An independent reader of zip structure, to check what Morvane.exe writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin_test {

// Bitwise CRC-32 (no table), kept apart from the tool's own code on purpose.
inline uint32_t TestCrc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

struct ZipItem {
  std::string name;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t size = 0;
  uint32_t external_attr = 0;
  std::string data;
};

inline uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

// Checks the end record, every central record against its local header and
// the data's CRC, and that the local entries fill the file up to the central
// directory. Returns "" if all holds, else what did not.
inline std::string InspectZip(const std::string& b, std::vector<ZipItem>& items) {
  items.clear();
  if (b.size() < 22) return "too short";
  size_t eocd = b.size() - 22;
  if (Le(b, eocd, 4) != 0x06054b50) return "no end record at the end";
  uint32_t count = Le(b, eocd + 10, 2), cd_size = Le(b, eocd + 12, 4), cd_off = Le(b, eocd + 16, 4);
  if (Le(b, eocd + 8, 2) != count) return "entry counts differ";
  if (uint64_t(cd_off) + cd_size != eocd) return "central directory does not end at the end record";
  size_t p = cd_off, expected_local = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (p + 46 > eocd || Le(b, p, 4) != 0x02014b50) return "bad central record " + std::to_string(i);
    ZipItem it;
    it.method = static_cast<uint16_t>(Le(b, p + 10, 2));
    it.crc = Le(b, p + 16, 4);
    uint32_t csize = Le(b, p + 20, 4);
    it.size = Le(b, p + 24, 4);
    uint32_t nlen = Le(b, p + 28, 2), xlen = Le(b, p + 30, 2), clen = Le(b, p + 32, 2);
    it.external_attr = Le(b, p + 38, 4);
    uint32_t off = Le(b, p + 42, 4);
    it.name = b.substr(p + 46, nlen);
    p += 46 + nlen + xlen + clen;
    if (off != expected_local) return "gap or overlap before local header of " + it.name;
    if (off + 30 > cd_off || Le(b, off, 4) != 0x04034b50) return "bad local header for " + it.name;
    uint32_t lnlen = Le(b, off + 26, 2), lxlen = Le(b, off + 28, 2);
    if (b.substr(off + 30, lnlen) != it.name) return "local name differs for " + it.name;
    if (Le(b, off + 8, 2) != it.method || Le(b, off + 14, 4) != it.crc ||
        Le(b, off + 18, 4) != csize || Le(b, off + 22, 4) != it.size)
      return "local header fields differ for " + it.name;
    size_t data_at = off + 30 + lnlen + lxlen;
    if (data_at + csize > cd_off) return "data runs into the central directory: " + it.name;
    it.data = b.substr(data_at, csize);
    if (TestCrc32(it.data) != it.crc) return "CRC mismatch for " + it.name;
    expected_local = data_at + csize;
    items.push_back(it);
  }
  if (p != eocd) return "central directory size is off";
  if (expected_local != cd_off) return "bytes between the last entry and the central directory";
  return "";
}

}  // namespace standin_test
