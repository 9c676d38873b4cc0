#include "files/crc32.h"

#include <bit>
#include <cstring>

namespace files {

static_assert(std::endian::native == std::endian::little, "the eight-byte step reads little-endian words");

namespace {

// Slicing by eight: table[k][b] is the CRC of byte b followed by k zero
// bytes, so eight input bytes cost eight look-ups and no shifts between them.
struct Crc32Tables {
  uint32_t t[8][256];
  Crc32Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};

// Built once, on first use; C++ makes the initialisation thread-safe.
const Crc32Tables& tables() {
  static const Crc32Tables built;
  return built;
}

}  // namespace

uint32_t crc32Update(uint32_t crc, const void* data, size_t size) {
  const uint32_t(*t)[256] = tables().t;
  const unsigned char* p = (const unsigned char*)data;
  crc = ~crc;
  while (size >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= crc;
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    size -= 8;
  }
  while (size-- > 0) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
  return ~crc;
}

}  // namespace files
