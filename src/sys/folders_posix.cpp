#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "sys/folders.h"

namespace sys {

const char kPathSeparator = '/';

static std::string xdgFolder(const char* variable, const char* fallbackUnderHome) {
  const char* v = std::getenv(variable);
  if (v && *v == '/') return v;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + fallbackUnderHome;
}

std::string baseFolder() { return xdgFolder("XDG_DATA_HOME", "/.local/share") + "/vantrel"; }

std::string configFolder() { return xdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool pathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool createDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace sys
