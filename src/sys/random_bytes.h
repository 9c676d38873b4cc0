// Random bytes from the operating system's cryptographic generator.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sys {

// Fills n bytes; false when the generator failed (the bytes are then unspecified).
bool randomBytes(void* out, size_t n);
// n random bytes as 2n lower-case hexadecimal digits, high nibble first;
// empty when the generator failed: a secret is never made of anything else.
std::string randomHex(size_t n);

// Platform generator behind randomBytes.
bool osRandomBytes(void* out, size_t n);

// Tests put a source of their own in place of the generator; nullptr
// restores it.
using RandomSource = bool (*)(void* out, size_t n);
void setRandomSourceForTests(RandomSource source);

}  // namespace sys
