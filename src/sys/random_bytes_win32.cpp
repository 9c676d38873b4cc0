#include <windows.h>
#include <bcrypt.h>

#include "sys/random_bytes.h"

namespace sys {

bool osRandomBytes(void* out, size_t n) {
  unsigned char* p = (unsigned char*)out;
  // One call takes at most a ULONG of bytes.
  while (n > 0) {
    ULONG piece = n > 0x10000000 ? 0x10000000 : (ULONG)n;
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, p, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
    p += piece;
    n -= piece;
  }
  return true;
}

}  // namespace sys
