#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "sys/folders.h"
#include "sys/instance_lock.h"

namespace sys {

bool acquireSingleInstance(const std::string& lockFolder) {
  std::string path = joinPath(lockFolder, "instance.lock");
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  return true;  // the descriptor stays open, holding the lock, until exit
}

}  // namespace sys
