#include "sys/environment.h"

#include <climits>
#include <cstdlib>

namespace sys {

int environmentNumber(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v) return 0;
  char* end = nullptr;
  long n = std::strtol(v, &end, 10);
  return *end == '\0' && n > 0 && n <= INT_MAX ? (int)n : 0;
}

}  // namespace sys
