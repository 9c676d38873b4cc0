// UTF-8 inside, UTF-16 at the Windows boundary.
#pragma once
#include <string>

namespace sys {

// UTF-8 to the platform's wide text (UTF-16 on Windows, UTF-32 elsewhere).
// Invalid sequences become U+FFFD.
std::wstring toWide(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);
// A UTF-8 path in the narrow form C libraries open: the ANSI code page on
// Windows, unchanged elsewhere.
std::string toNarrowPath(const std::string& utf8);

}  // namespace sys
