#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "sys/fs.h"
#include "sys/folders.h"

namespace sys {

const size_t kMaxFullPath = PATH_MAX - 1;
const bool kWindowsFileNames = false;

std::string fullPath(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return {};
  std::string whole = path;
  if (whole[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    whole = std::string(cwd) + "/" + whole;
  }
  // Lexical folding only: the file services compare what the client named,
  // not where links lead.
  std::string out;
  out.reserve(whole.size());
  size_t i = 0;
  while (i < whole.size()) {
    size_t end = whole.find('/', i);
    if (end == std::string::npos) end = whole.size();
    size_t len = end - i;
    bool here = len == 0 || (len == 1 && whole[i] == '.');
    bool up = len == 2 && whole[i] == '.' && whole[i + 1] == '.';
    if (up) {
      size_t slash = out.rfind('/');
      out.resize(slash == std::string::npos ? 0 : slash);
    } else if (!here) {
      out += '/';
      out.append(whole, i, len);
    }
    i = end + 1;
  }
  if (out.empty()) out = "/";
  if (out.size() > kMaxFullPath) return {};
  return out;
}

bool folderPathFits(const std::string& path) { return !fullPath(path).empty(); }

bool hasPathPrefix(const std::string& path, const std::string& prefix) {
  return path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

PathKind pathKind(const std::string& path) {
  struct stat st;
  if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
  return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
}

namespace {

// A dangling link is listed as what it is, a small file.
bool statEntry(int dfd, const char* name, FolderEntry& entry) {
  struct stat st;
  if (::fstatat(dfd, name, &st, 0) != 0 && ::fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  entry.isFolder = S_ISDIR(st.st_mode);
  entry.size = entry.isFolder ? 0 : (uint64_t)st.st_size;
  entry.modified = st.st_mtime > 0 ? (uint64_t)st.st_mtime : 0;
  entry.changesElsewhere = entry.isFolder || st.st_nlink > 1;
  return true;
}

}  // namespace

bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  DIR* d = ::opendir(folder.c_str());
  if (!d) return false;
  int dfd = ::dirfd(d);
  while (dirent* e = ::readdir(d)) {
    FolderEntry entry;
    entry.name = e->d_name;
    bool queried = statEntry(dfd, e->d_name, entry);
    entry.changesElsewhere |= !queried || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN;
    entries.push_back(std::move(entry));
  }
  ::closedir(d);
  return true;
}

bool entryStatus(const std::string& folder, const std::string& name, FolderEntry& entry) {
  if (folder.find('\0') != std::string::npos || name.find('\0') != std::string::npos) return false;
  entry.name = name;
  return statEntry(AT_FDCWD, joinPath(folder, name).c_str(), entry);
}

// Files up to this size are read in one go, so the advice would only cost a call.
constexpr off_t kSequentialAdviceBytes = 1 << 20;

FileHandle openForReading(const std::string& path, uint64_t* sizeAtOpen) {
  // Non-blocking, so that a named pipe cannot hold the thread before the
  // check below refuses it.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kNoFile;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
  // Of the status flags only O_NONBLOCK was set, so no need to read them first.
  ::fcntl(fd, F_SETFL, 0);
  if (st.st_size > kSequentialAdviceBytes) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  if (sizeAtOpen) *sizeAtOpen = (uint64_t)st.st_size;
  return fd;
}

bool fileSize(FileHandle f, uint64_t& size) {
  struct stat st;
  if (::fstat((int)f, &st) != 0) return false;
  size = (uint64_t)st.st_size;
  return true;
}

bool fileModifiedSeconds(FileHandle f, uint64_t& seconds) {
  struct stat st;
  if (::fstat((int)f, &st) != 0) return false;
  seconds = st.st_mtime < 0 ? 0 : (uint64_t)st.st_mtime;
  return true;
}

bool fileVersion(FileHandle f, FileVersion& version) {
  struct stat st;
  if (::fstat((int)f, &st) != 0) return false;
  version.volume = (uint64_t)st.st_dev;
  version.index = (uint64_t)st.st_ino;
  version.size = (uint64_t)st.st_size;
  version.written = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
  version.changed = (int64_t)st.st_ctim.tv_sec * 1000000000 + st.st_ctim.tv_nsec;
  return true;
}

bool seekFile(FileHandle f, uint64_t offset) {
  return offset <= (uint64_t)INT64_MAX && ::lseek((int)f, (off_t)offset, SEEK_SET) == (off_t)offset;
}

long long readFromFile(FileHandle f, void* buffer, size_t capacity) {
  for (;;) {
    ssize_t r = ::read((int)f, buffer, capacity);
    if (r >= 0) return r;
    if (errno != EINTR) return -1;
  }
}

void closeFile(FileHandle f) {
  if (f != kNoFile) ::close((int)f);
}

bool removeEmptyFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

// ---- For the ZIP download ----

bool fileStatus(const std::string& path, FileStatus& status) {
  struct stat st;
  if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &st) != 0) return false;
  status.isFolder = S_ISDIR(st.st_mode);
  status.size = status.isFolder ? 0 : (uint64_t)st.st_size;
  struct tm t;
  time_t when = st.st_mtime;
  if (!::localtime_r(&when, &t)) return false;
  status.modifiedLocal = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0, t.tm_wday};
  return true;
}

}  // namespace sys
