#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "sys/folder_walk.h"

namespace sys {

namespace {

EntryKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Folder;
  if (S_ISLNK(mode)) return EntryKind::Link;
  return EntryKind::Other;
}

}  // namespace

bool entryKind(const std::string& path, EntryKind& kind) {
  struct stat st;
  if (path.find('\0') != std::string::npos || ::lstat(path.c_str(), &st) != 0) return false;
  kind = kindOf(st.st_mode);
  return true;
}

bool walkFolder(const std::string& folder, std::vector<WalkEntry>& entries) {
  entries.clear();
  if (folder.find('\0') != std::string::npos) return false;
  DIR* d = ::opendir(folder.c_str());
  if (!d) return false;
  int dfd = ::dirfd(d);
  while (dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    WalkEntry entry;
    entry.name = e->d_name;
    struct stat st;
    if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      entry.kind = kindOf(st.st_mode);
      if (entry.kind == EntryKind::File) entry.size = (uint64_t)st.st_size;
      entry.modified = st.st_mtime < 0 ? 0 : (uint64_t)st.st_mtime;
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(d);
  return true;
}

}  // namespace sys
