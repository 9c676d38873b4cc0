// Numeric IPv6 address text to its 16 bytes, with the system's own parser.
#pragma once
#include <string>

namespace sys {

// False when text is not a numeric IPv6 address (a "%zone" suffix included).
bool ipv6FromText(const std::string& text, unsigned char bytes[16]);

}  // namespace sys
