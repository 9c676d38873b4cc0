#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "sys/file_write.h"
#include "sys/folders.h"

namespace sys {

bool createTempFile(const std::string& folder, TempFile& f) {
  for (int i = 0; i < kTempNameAttempts; ++i) {
    std::string path = joinPath(folder, nextTempFileName());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      f.handle = fd;
      f.path = path;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool writeTempFile(TempFile& f, const void* data, size_t size) {
  const char* p = (const char*)data;
  while (size > 0) {
    ssize_t w = ::write((int)f.handle, p, size);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    size -= (size_t)w;
  }
  return true;
}

bool commitTempFile(TempFile& f, const std::string& finalPath) {
  // close() reports the errors of delayed writes on some file systems.
  bool ok = ::close((int)f.handle) == 0;
  f.handle = -1;
  if (ok && ::rename(f.path.c_str(), finalPath.c_str()) == 0) return true;
  ::unlink(f.path.c_str());
  return false;
}

void discardTempFile(TempFile& f) {
  if (f.handle == -1) return;
  ::close((int)f.handle);
  f.handle = -1;
  ::unlink(f.path.c_str());
}

}  // namespace sys
