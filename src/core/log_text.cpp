#include "core/log_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace core {

namespace {

// The length of the UTF-8 sequence at s[i] with its code point in cp; 0 when
// the bytes there are not one (overlong forms and surrogates included).
size_t decodeUtf8(const std::string& s, size_t i, uint32_t& cp) {
  unsigned char c = (unsigned char)s[i];
  size_t n;
  uint32_t least;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if (c >= 0xc2 && c <= 0xdf) {
    n = 2, cp = c & 0x1f, least = 0x80;
  } else if (c >= 0xe0 && c <= 0xef) {
    n = 3, cp = c & 0x0f, least = 0x800;
  } else if (c >= 0xf0 && c <= 0xf4) {
    n = 4, cp = c & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    unsigned char d = (unsigned char)s[i + k];
    if ((d & 0xc0) != 0x80) return 0;
    cp = cp << 6 | (d & 0x3f);
  }
  if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return n;
}

bool breaksOrReordersLines(uint32_t cp) {
  return (cp >= 0x80 && cp <= 0x9f) || cp == 0x2028 || cp == 0x2029 || cp == 0x061c || cp == 0x200e ||
         cp == 0x200f || (cp >= 0x202a && cp <= 0x202e) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string logSafeText(const std::string& text, size_t maxChars) {
  std::string out;
  size_t chars = 0;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    size_t n = decodeUtf8(text, i, cp);
    char escaped[8] = "";
    if (n == 0)
      std::snprintf(escaped, sizeof escaped, "\\x%02x", (unsigned char)text[i]);
    else if (cp < 0x20 || cp == 0x7f)
      std::snprintf(escaped, sizeof escaped, "\\x%02x", (unsigned)cp);
    else if (breaksOrReordersLines(cp))
      std::snprintf(escaped, sizeof escaped, "\\u%04x", (unsigned)cp);
    size_t width = escaped[0] ? std::strlen(escaped) : 1;
    if (chars + width > maxChars) {
      out += "\xe2\x80\xa6";
      break;
    }
    if (escaped[0])
      out += escaped;
    else
      out.append(text, i, n);
    chars += width;
    i += n ? n : 1;
  }
  return out;
}

}  // namespace core
