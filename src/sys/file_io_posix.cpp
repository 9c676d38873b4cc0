#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sys/file_io.h"

namespace sys {

bool appendToPrivateFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) == 0 && (st.st_mode & 077)) ::fchmod(fd, st.st_mode & 0700);
  bool ok = ::write(fd, bytes.data(), bytes.size()) == (ssize_t)bytes.size();
  ::close(fd);
  return ok;
}

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool renameReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool fileSizeAt(const std::string& path, uint64_t& size) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  size = (uint64_t)st.st_size;
  return true;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0) break;
    done += (size_t)w;
  }
  bool ok = ::close(fd) == 0 && done == bytes.size();
  return ok;
}

bool readSmallFile(const std::string& path, std::string& bytes, size_t maxBytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.clear();
  char buf[4096];
  while (bytes.size() < maxBytes) {
    size_t want = maxBytes - bytes.size() < sizeof buf ? maxBytes - bytes.size() : sizeof buf;
    ssize_t r = ::read(fd, buf, want);
    if (r <= 0) break;
    bytes.append(buf, (size_t)r);
  }
  ::close(fd);
  return true;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace sys
