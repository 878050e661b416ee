// The 512-byte tar header block: field offsets, numbers, checksum.
#pragma once

#include <cstdint>
#include <string>

namespace standin {
namespace tar {

constexpr size_t kBlock = 512;

struct Field {
  size_t offset;
  size_t size;
};
constexpr Field kName{0, 100};
constexpr Field kMode{100, 8};
constexpr Field kUid{108, 8};
constexpr Field kGid{116, 8};
constexpr Field kSize{124, 12};
constexpr Field kMtime{136, 12};
constexpr Field kChecksum{148, 8};
constexpr size_t kTypeOffset = 156;
constexpr Field kMagic{257, 6};
constexpr Field kVersion{263, 2};
constexpr Field kPrefix{345, 155};

// Field text up to its first NUL.
std::string ReadString(const uint8_t* block, Field f);
// Octal (space/NUL padded) or GNU base-256; false if malformed.
bool ReadNumber(const uint8_t* block, Field f, uint64_t& value);
bool IsZeroBlock(const uint8_t* block);
// True if the stored checksum matches the unsigned or (old tars) signed sum.
bool ChecksumOk(const uint8_t* block);
bool IsUstar(const uint8_t* block);

void WriteString(uint8_t* block, Field f, const std::string& text);
// Octal when it fits the field, base-256 otherwise.
void WriteNumber(uint8_t* block, Field f, uint64_t value);
void WriteChecksum(uint8_t* block);

inline uint64_t PaddedSize(uint64_t size) { return (size + kBlock - 1) / kBlock * kBlock; }

}  // namespace tar
}  // namespace standin
