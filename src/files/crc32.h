// CRC-32 as ZIP uses it (reflected polynomial 0xEDB88320, initial value and
// final complement 0xFFFFFFFF), from libdeflate, which picks the fastest
// kernel the processor offers.
#pragma once
#include <libdeflate.h>

#include <cstddef>
#include <cstdint>

namespace files {

// Continues a CRC over more bytes; start with crc32Update(0, ...).
inline uint32_t crc32Update(uint32_t crc, const void* data, size_t size) { return libdeflate_crc32(crc, data, size); }
inline uint32_t crc32(const void* data, size_t size) { return crc32Update(0, data, size); }

}  // namespace files
