#include <atomic>
#include <cstdio>

#include "sys/clock.h"
#include "sys/file_write.h"

namespace sys {

std::string nextTempFileName() {
  static std::atomic<uint64_t> counter{0};
  char name[64];
  std::snprintf(name, sizeof name, ".vantrel-%llx-%llx.part", (unsigned long long)nowSeconds(),
                (unsigned long long)counter.fetch_add(1));
  return name;
}

}  // namespace sys
