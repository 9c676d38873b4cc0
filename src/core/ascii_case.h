// Case folding of ASCII letters only: header names, media types, host names,
// Windows device names. Bytes of other characters pass unchanged, so UTF-8
// text stays intact.
#pragma once
#include <string>

namespace core {

inline std::string lowerAscii(std::string text) {
  for (char& ch : text)
    if (ch >= 'A' && ch <= 'Z') ch = (char)(ch - 'A' + 'a');
  return text;
}

inline std::string upperAscii(std::string text) {
  for (char& ch : text)
    if (ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
  return text;
}

}  // namespace core
