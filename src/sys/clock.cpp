#include "sys/clock.h"

#include <atomic>
#include <chrono>

namespace sys {

static std::atomic<uint64_t> fixedNow{0};

uint64_t nowSeconds() {
  uint64_t fixed = fixedNow.load();
  if (fixed) return fixed;
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return (uint64_t)std::chrono::duration_cast<std::chrono::seconds>(since).count();
}

void setNowForTests(uint64_t seconds) { fixedNow.store(seconds); }

}  // namespace sys
