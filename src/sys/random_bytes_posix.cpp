#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include "sys/random_bytes.h"

namespace sys {

static bool fromUrandom(unsigned char* p, size_t n) {
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  while (n > 0) {
    ssize_t r = ::read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    p += r;
    n -= (size_t)r;
  }
  ::close(fd);
  return n == 0;
}

bool osRandomBytes(void* out, size_t n) {
  unsigned char* p = (unsigned char*)out;
  while (n > 0) {
    ssize_t r = ::getrandom(p, n, 0);
    if (r < 0 && errno == EINTR) continue;
    // Kernels without getrandom still have the device.
    if (r <= 0) return fromUrandom(p, n);
    p += r;
    n -= (size_t)r;
  }
  return true;
}

}  // namespace sys
