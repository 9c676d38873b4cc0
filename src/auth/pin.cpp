#include "auth/pin.h"

#include <cstdint>
#include <cstdio>

#include "sys/random_bytes.h"

namespace auth {

std::string generatePin() {
  uint32_t v = 0;
  if (!sys::randomBytes(&v, sizeof v)) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%06u", (unsigned)(v % 1000000u));
  return text;
}

bool isSixDigits(const std::string& text) {
  if (text.size() != 6) return false;
  for (char ch : text)
    if (ch < '0' || ch > '9') return false;
  return true;
}

}  // namespace auth
