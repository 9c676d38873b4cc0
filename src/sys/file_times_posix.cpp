#include <fcntl.h>
#include <sys/stat.h>

#include "sys/file_times.h"

namespace sys {

bool setFileModifiedMs(const std::string& path, uint64_t milliseconds) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the last access stays as it is
  times[1].tv_sec = (time_t)(milliseconds / 1000);
  times[1].tv_nsec = (long)(milliseconds % 1000) * 1000000L;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace sys
