#include "sys/random_bytes.h"

#include <atomic>
#include <cstdlib>
#include <vector>

namespace sys {

static std::atomic<RandomSource> testSource{nullptr};

void setRandomSourceForTests(RandomSource source) { testSource.store(source); }

bool randomBytes(void* out, size_t n) {
  // Lets tests start a program whose generator has failed.
  if (std::getenv("VANTREL_TEST_NO_RANDOM")) return false;
  RandomSource s = testSource.load();
  return s ? s(out, n) : osRandomBytes(out, n);
}

std::string randomHex(size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::vector<unsigned char> bytes(n);
  if (n && !randomBytes(bytes.data(), n)) return {};
  std::string out(2 * n, '0');
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 0x0F];
  }
  return out;
}

}  // namespace sys
