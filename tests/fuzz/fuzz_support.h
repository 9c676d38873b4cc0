// What every fuzz target shares: the entry point libFuzzer calls, a reader
// that turns the fuzzer's bytes into choices (every input is a valid plan),
// and the check that stops on a broken property.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

struct Input {
  const uint8_t* data;
  size_t size;
};

inline uint8_t takeByte(Input& in) {
  if (in.size == 0) return 0;
  --in.size;
  return *in.data++;
}

// A string of at most maxBytes whose length comes first (one byte, or two
// when maxBytes needs them).
inline std::string takeString(Input& in, size_t maxBytes) {
  size_t n = takeByte(in);
  if (maxBytes > 255) n = n << 8 | takeByte(in);
  n %= maxBytes + 1;
  if (n > in.size) n = in.size;
  std::string out((const char*)in.data, n);
  in.data += n;
  in.size -= n;
  return out;
}

inline std::string takeRest(Input& in) {
  std::string out((const char*)in.data, in.size);
  in.data += in.size;
  in.size = 0;
  return out;
}

// The next piece length of a plan of piece sizes, used round-robin; an
// empty plan means everything at once.
inline size_t nextPiece(const std::string& plan, size_t& step, size_t left) {
  if (plan.empty()) return left;
  size_t n = (size_t)(unsigned char)plan[step++ % plan.size()] + 1;
  return n < left ? n : left;
}

inline bool isValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    uint32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = (unsigned char)s[i + k];
      if ((cc >> 6) != 2) return false;
      cp = cp << 6 | (cc & 0x3F);
    }
    static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "fuzz property broken: %s (%s:%d)\n", what, file, line);
  std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(cond)                                  \
  do {                                                    \
    if (!(cond)) fuzz::fail(#cond, __FILE__, __LINE__);   \
  } while (0)
