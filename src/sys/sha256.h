// SHA-256 for share tokens. vantrel-http.exe hashes through CNG, so it
// links no TLS library.
#pragma once
#include <string>

namespace sys {

// The digest as 64 lower-case hex digits; empty when hashing fails.
std::string sha256Hex(const std::string& bytes);

}  // namespace sys
