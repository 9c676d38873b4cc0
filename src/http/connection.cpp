#include "http/connection.h"

#include <chrono>

#include "sys/environment.h"

namespace http {

int idleReadMs() {
  static const int ms = [] {
    int shorter = sys::environmentNumber("VANTREL_IDLE_READ_MS");
    return shorter > 0 && shorter < kIdleReadMs ? shorter : kIdleReadMs;
  }();
  return ms;
}

void lingeringClose(sys::SocketHandle s, bool requestComplete, bool drained) {
  // With nothing unread the close itself sends what is left and the end of
  // the stream; ending the sending direction first would only cost a call.
  if (requestComplete && (drained || sys::peekByte(s) != 1)) {
    sys::closeSocket(s);
    return;
  }
  sys::shutdownSend(s);
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerMs);
  char buf[65536];
  uint64_t discarded = 0;
  while (discarded < kLingerBytes) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0 || sys::waitReadable(s, (int)left) != 1) break;
    long n = sys::recvSome(s, buf, sizeof buf);
    if (n <= 0) break;
    discarded += (uint64_t)n;
  }
  sys::closeSocket(s);
}

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
