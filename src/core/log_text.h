// Making text safe for a log line. Client-given names, paths and headers end
// up in the log; on a terminal, in the log window or in HTTP.log a line
// break, an escape sequence or a bidirectional override would let them
// forge or hide lines.
#pragma once
#include <cstddef>
#include <string>

namespace core {

// The text with C0 and C1 controls, DEL and bytes that are no valid UTF-8 as
// "\x1b", and the line and paragraph separators and bidirectional controls
// as "\u2028"; everything else as it is. Past maxChars characters of that
// the rest is cut and "…" follows.
std::string logSafeText(const std::string& text, size_t maxChars);

}  // namespace core
