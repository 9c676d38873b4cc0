#include "sys/admin.h"

#include <cstdlib>
#include <cstring>

namespace sys {

bool treatedAsStandardUser() {
  const char* v = std::getenv("VANTREL_AS_STANDARD_USER");
  return v && std::strcmp(v, "1") == 0;
}

}  // namespace sys
