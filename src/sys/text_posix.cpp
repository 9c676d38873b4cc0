#include "sys/text.h"

namespace sys {

std::wstring toWide(const std::string& s) {
  static const char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra == 0) {
      out.push_back(c);
      ++i;
      continue;
    }
    bool ok = extra > 0 && i + extra < s.size();
    char32_t cp = ok ? (c & (0x3F >> extra)) : 0;
    for (int k = 1; ok && k <= extra; ++k) {
      unsigned char cc = (unsigned char)s[i + k];
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok || cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back((wchar_t)cp);
    i += extra + 1;
  }
  return out;
}

std::string toUtf8(const std::wstring& w) {
  std::string out;
  out.reserve(w.size());
  for (wchar_t wc : w) {
    char32_t c = (char32_t)wc;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back((char)c);
    } else if (c < 0x800) {
      out.push_back((char)(0xC0 | (c >> 6)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back((char)(0xE0 | (c >> 12)));
      out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    } else {
      out.push_back((char)(0xF0 | (c >> 18)));
      out.push_back((char)(0x80 | ((c >> 12) & 0x3F)));
      out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string toNarrowPath(const std::string& utf8) { return utf8; }

}  // namespace sys
