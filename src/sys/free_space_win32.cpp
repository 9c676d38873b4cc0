#include <windows.h>

#include "sys/free_space.h"
#include "sys/text.h"

namespace sys {

bool freeSpace(const std::string& folder, uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(toWide(folder).c_str(), &available, nullptr, nullptr)) return false;
  bytes = (uint64_t)available.QuadPart;
  return true;
}

}  // namespace sys
