#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "sys/entry_move.h"

namespace sys {

namespace {

Renamed outcomeOf(int error) {
  switch (error) {
    case EEXIST:
    case ENOTEMPTY: return Renamed::NameTaken;
    case EXDEV: return Renamed::OtherVolume;
    case ENOENT: return Renamed::Missing;
    default: return Renamed::Failed;
  }
}

// Moves onto a placeholder that holds the new name: a rename replaces an
// empty folder or a file in one step, and no other no-replace rename can
// have taken the name once the placeholder stands.
Renamed renameOntoPlaceholder(const std::string& from, const std::string& to, bool folder) {
  if (folder) {
    if (::mkdir(to.c_str(), 0700) != 0) return outcomeOf(errno);
  } else {
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return outcomeOf(errno);
    ::close(fd);
  }
  if (::rename(from.c_str(), to.c_str()) == 0) return Renamed::Done;
  int e = errno;
  if (folder)
    ::rmdir(to.c_str());
  else
    ::unlink(to.c_str());
  return e == EXDEV ? Renamed::OtherVolume : Renamed::Failed;
}

// File systems without the no-replace rename (some network and older ones).
Renamed renameWithoutKernelHelp(const std::string& from, const std::string& to) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return outcomeOf(errno);
  if (S_ISDIR(st.st_mode)) return renameOntoPlaceholder(from, to, true);
  // A hard link fails on a taken name just as atomically.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return Renamed::Done;
  }
  int e = errno;
  if (e == EPERM || e == EOPNOTSUPP || e == EMLINK) return renameOntoPlaceholder(from, to, false);
  return outcomeOf(e);
}

bool hasNul(const std::string& path) { return path.find('\0') != std::string::npos; }

bool copyBytes(int in, int out) {
  // The kernel copies without a trip through this process where it can.
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;
  }
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buffer.data() + done, (size_t)(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += w;
    }
  }
}

}  // namespace

Renamed renameNoReplace(const std::string& from, const std::string& to) {
  if (hasNul(from) || hasNul(to)) return Renamed::Failed;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Renamed::Done;
  int e = errno;
  // EINVAL also answers a folder moved below itself; the way round fails on
  // that just the same.
  if (e == EINVAL || e == ENOSYS || e == EOPNOTSUPP) return renameWithoutKernelHelp(from, to);
  return outcomeOf(e);
}

bool copyFileNew(const std::string& from, const std::string& to) {
  if (hasNul(from) || hasNul(to)) return false;
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = copyBytes(in, out);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ok = ok && ::futimens(out, times) == 0;
  // close() reports the errors of delayed writes on some file systems.
  ok = ::close(out) == 0 && ok;
  ::close(in);
  if (!ok) ::unlink(to.c_str());
  return ok;
}

bool createFolder(const std::string& path) { return !hasNul(path) && ::mkdir(path.c_str(), 0755) == 0; }

bool removeLink(const std::string& path) { return !hasNul(path) && ::unlink(path.c_str()) == 0; }

}  // namespace sys
