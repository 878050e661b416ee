// CRC-32 as used by zip (reflected, polynomial 0xEDB88320).
#pragma once

#include <cstddef>
#include <cstdint>

namespace standin {

// Continues a running CRC; start with 0.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace standin
