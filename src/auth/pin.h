// The 6-digit PINs that log a browser in.
#pragma once
#include <string>

namespace auth {

// Four random bytes modulo 1 000 000, zero-padded: "004217" is a PIN.
// Empty when the generator failed.
std::string generatePin();
// Exactly six bytes, each "0" to "9".
bool isSixDigits(const std::string& text);

}  // namespace auth
