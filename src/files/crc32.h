// CRC-32 as ZIP uses it (reflected polynomial 0xEDB88320, initial value and
// final complement 0xFFFFFFFF).
#pragma once
#include <cstddef>
#include <cstdint>

namespace files {

// Continues a CRC over more bytes; start with crc32Update(0, ...).
uint32_t crc32Update(uint32_t crc, const void* data, size_t size);
inline uint32_t crc32(const void* data, size_t size) { return crc32Update(0, data, size); }

}  // namespace files
