#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "sys/sha256.h"

namespace sys {

std::string sha256Hex(const std::string& bytes) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return {};
  DWORD objectLength = 0, digestLength = 0, got = 0;
  std::string out;
  if (BCryptGetProperty(alg, BCRYPT_OBJECT_LENGTH, (PUCHAR)&objectLength, sizeof objectLength, &got, 0) == 0 &&
      BCryptGetProperty(alg, BCRYPT_HASH_LENGTH, (PUCHAR)&digestLength, sizeof digestLength, &got, 0) == 0 &&
      digestLength == 32) {
    std::vector<UCHAR> object(objectLength);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(alg, &hash, object.data(), objectLength, nullptr, 0, 0) == 0) {
      UCHAR digest[32];
      if (BCryptHashData(hash, (PUCHAR)bytes.data(), (ULONG)bytes.size(), 0) == 0 &&
          BCryptFinishHash(hash, digest, sizeof digest, 0) == 0) {
        static const char digits[] = "0123456789abcdef";
        out.assign(64, '0');
        for (unsigned i = 0; i < 32; ++i) {
          out[2 * i] = digits[digest[i] >> 4];
          out[2 * i + 1] = digits[digest[i] & 15];
        }
      }
      BCryptDestroyHash(hash);
    }
  }
  BCryptCloseAlgorithmProvider(alg, 0);
  return out;
}

}  // namespace sys
