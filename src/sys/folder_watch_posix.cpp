#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sys/folder_watch.h"

namespace sys {

namespace {

// One queue for the whole process, made on first use; -1 when the system
// has none to give, and then nothing is watched.
int notifyQueue() {
  static const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  return fd;
}

// Local file systems whose every change passes the kernel that reports it.
// Network and user-space ones change behind its back.
bool reportsEveryChange(const std::string& folder) {
  struct statfs st;
  if (::statfs(folder.c_str(), &st) != 0) return false;
  switch ((unsigned long)st.f_type) {
    case EXT4_SUPER_MAGIC:  // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB |
                             IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

bool folderIdentity(const std::string& path, FolderIdentity& identity) {
  struct stat st;
  if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  identity.volume = (uint64_t)st.st_dev;
  identity.index = (uint64_t)st.st_ino;
  return true;
}

FolderWatch watchFolder(const std::string& folder) {
  int fd = notifyQueue();
  if (fd < 0 || folder.find('\0') != std::string::npos || !reportsEveryChange(folder)) return kNoWatch;
  // IN_UNMOUNT and IN_IGNORED come unasked.
  int wd = ::inotify_add_watch(fd, folder.c_str(), kEvents | IN_ONLYDIR);
  return wd < 0 ? kNoWatch : (FolderWatch)wd;
}

void unwatchFolder(FolderWatch watch) {
  if (watch != kNoWatch) ::inotify_rm_watch(notifyQueue(), (int)watch);
}

bool firedWatches(std::vector<FolderWatch>& fired) {
  int fd = notifyQueue();
  if (fd < 0) return true;
  bool counted = true;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EAGAIN: the queue is empty
    for (ssize_t at = 0; at + (ssize_t)sizeof(inotify_event) <= n;) {
      inotify_event e;
      std::memcpy(&e, buffer + at, sizeof e);
      if (e.mask & IN_Q_OVERFLOW)
        counted = false;
      else
        fired.push_back((FolderWatch)e.wd);
      at += (ssize_t)sizeof(inotify_event) + e.len;
    }
  }
  return counted;
}

}  // namespace sys
