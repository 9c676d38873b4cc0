#include "http/connection_limits.h"

#include <cstdlib>

namespace http {

int headDeadlineMs() {
  static const int ms = [] {
    const char* v = std::getenv("VANTREL_HEAD_DEADLINE_MS");
    long n = v ? std::strtol(v, nullptr, 10) : 0;
    return n > 0 && n <= kHeadDeadlineMs ? (int)n : kHeadDeadlineMs;
  }();
  return ms;
}

}  // namespace http
