#include "files/crc32.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// On the register value (before the final complement).
uint32_t crcTables(uint32_t crc, const unsigned char* p, size_t size) {
  const uint32_t(*t)[256] = tables().t;
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
  return crc;
}

#if defined(__x86_64__)

// Carry-less multiplication folds 64 bytes per step: four 128-bit lanes are
// each multiplied by x^(512±32) mod P and added to the next 64 bytes, then
// the lanes are folded into one and reduced to 32 bits (Barrett reduction).
// The constants are those powers of x, bit-reflected, for P = 0x104C11DB7.
constexpr long long kFold512Lo = 0x154442bd4, kFold512Hi = 0x1c6e41596;
constexpr long long kFold128Lo = 0x1751997d0, kFold128Hi = 0x0ccaa009e;
constexpr long long kFold64 = 0x163cd6124;
constexpr long long kPoly = 0x1db710641, kMu = 0x1f7011641;

__attribute__((target("pclmul"))) inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// size is at least 64 and a multiple of 16.
__attribute__((target("pclmul"))) uint32_t crcClmul(uint32_t crc, const unsigned char* p, size_t size) {
  auto load = [](const unsigned char* at) { return _mm_loadu_si128((const __m128i*)at); };
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128((int)crc));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  size -= 64;
  __m128i k = _mm_set_epi64x(kFold512Hi, kFold512Lo);
  while (size >= 64) {
    x0 = fold(x0, k, load(p));
    x1 = fold(x1, k, load(p + 16));
    x2 = fold(x2, k, load(p + 32));
    x3 = fold(x3, k, load(p + 48));
    p += 64;
    size -= 64;
  }
  k = _mm_set_epi64x(kFold128Hi, kFold128Lo);
  x0 = fold(x0, k, x1);
  x0 = fold(x0, k, x2);
  x0 = fold(x0, k, x3);
  while (size >= 16) {
    x0 = fold(x0, k, load(p));
    p += 16;
    size -= 16;
  }
  // 128 -> 64 bits, appending the 32 zero bits of the CRC's definition.
  x0 = _mm_xor_si128(_mm_clmulepi64_si128(x0, k, 0x10), _mm_srli_si128(x0, 8));
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  __m128i high = _mm_srli_si128(x0, 4);
  x0 = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), _mm_set_epi64x(0, kFold64), 0x00);
  x0 = _mm_xor_si128(x0, high);
  // 64 -> 32 bits.
  __m128i pm = _mm_set_epi64x(kMu, kPoly);
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), pm, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), pm, 0x00);
  return (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(x0, t), 4));
}

bool haveClmul() {
  static const bool have = __builtin_cpu_supports("pclmul");
  return have;
}

#endif

}  // namespace

uint32_t crc32Update(uint32_t crc, const void* data, size_t size) {
  const unsigned char* p = (const unsigned char*)data;
  crc = ~crc;
#if defined(__x86_64__)
  if (size >= 64 && haveClmul()) {
    size_t bulk = size & ~(size_t)15;
    crc = crcClmul(crc, p, bulk);
    p += bulk;
    size -= bulk;
  }
#endif
  return ~crcTables(crc, p, size);
}

}  // namespace files
