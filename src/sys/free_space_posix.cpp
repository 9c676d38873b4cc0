#include <sys/statvfs.h>

#include "sys/free_space.h"

namespace sys {

bool freeSpace(const std::string& folder, uint64_t& bytes) {
  struct statvfs st;
  if (::statvfs(folder.c_str(), &st) != 0) return false;
  bytes = (uint64_t)st.f_bavail * (uint64_t)st.f_frsize;
  return true;
}

}  // namespace sys
