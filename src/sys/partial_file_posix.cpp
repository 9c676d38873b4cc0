#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sys/partial_file.h"

namespace sys {

bool createPartialFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

FileHandle openPartialForAppend(const std::string& path, uint64_t& size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
  size = (uint64_t)st.st_size;
  return fd;
}

bool appendToPartial(FileHandle f, const void* data, size_t size) {
  const char* p = (const char*)data;
  while (size > 0) {
    ssize_t w = ::write((int)f, p, size);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    size -= (size_t)w;
  }
  return true;
}

Placed placePartialFile(const std::string& partialPath, const std::string& finalPath, bool replace) {
  if (replace) return ::rename(partialPath.c_str(), finalPath.c_str()) == 0 ? Placed::Done : Placed::Failed;
  if (::renameat2(AT_FDCWD, partialPath.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE) == 0)
    return Placed::Done;
  if (errno == EEXIST) return Placed::NameTaken;
  if (errno != EINVAL && errno != ENOSYS) return Placed::Failed;
  // File systems without the no-replace rename: a hard link fails on a taken
  // name just as atomically.
  if (::link(partialPath.c_str(), finalPath.c_str()) != 0) return errno == EEXIST ? Placed::NameTaken : Placed::Failed;
  ::unlink(partialPath.c_str());
  return Placed::Done;
}

}  // namespace sys
