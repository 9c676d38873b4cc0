#include "http/connection.h"

namespace http {

std::string readExact(Connection& c, uint64_t n) {
  std::string out;
  if (n == 0) return out;
  out.resize(n);
  uint64_t have = 0;
  while (have < n) {
    uint64_t want = n - have;
    int r = readSome(c, out.data() + have, want > 0x40000000 ? 0x40000000 : (int)want);
    if (r <= 0) break;
    have += (uint64_t)r;
  }
  out.resize(have);
  return out;
}

}  // namespace http
