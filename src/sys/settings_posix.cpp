#include <fcntl.h>
#include <unistd.h>

#include <mutex>

#include "sys/file_io.h"
#include "sys/folders.h"
#include "sys/settings.h"

namespace sys {

namespace {

constexpr size_t kMaxSettingsBytes = 65536;

// Read-modify-write of the file stays whole within this process.
std::mutex settingsMutex;

std::string settingsFolder() { return joinPath(configFolder(), "vantrel"); }
std::string settingsPath() { return joinPath(settingsFolder(), "settings"); }

// Calls visit(line, name, value) for every line of the text; lines without
// "=" come with an empty name. A CR before the line end is not part of it.
template <typename Visit>
void forEachLine(const std::string& text, Visit visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq == std::string::npos)
      visit(line, std::string(), std::string());
    else
      visit(line, line.substr(0, eq), line.substr(eq + 1));
    pos = end + 1;
  }
}

bool usableName(const std::string& name) { return !name.empty() && name.find_first_of("=\r\n") == std::string::npos; }

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0) return false;
    done += (size_t)w;
  }
  return true;
}

// The new file goes to a temporary name first, so a crash leaves either the
// old or the new settings, never half of them.
bool replaceFileAtomically(const std::string& folder, const std::string& path, const std::string& bytes) {
  std::string temp = path + ".tmp." + std::to_string((long)::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

bool readRegString(const std::string& name, std::string& value) {
  if (!usableName(name)) return false;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(settingsMutex);
    if (!readSmallFile(settingsPath(), text, kMaxSettingsBytes)) return false;
  }
  bool found = false;
  std::string first;
  forEachLine(text, [&](const std::string&, const std::string& n, const std::string& v) {
    if (!found && n == name) {
      found = true;
      first = v;
    }
  });
  if (!found || first.empty()) return false;
  value = first;
  return true;
}

bool writeRegString(const std::string& name, const std::string& value) {
  // A line break would split the value into lines of their own.
  if (!usableName(name) || value.find_first_of("\r\n") != std::string::npos) return false;
  std::lock_guard<std::mutex> lock(settingsMutex);
  std::string folder = settingsFolder();
  if (!createDirectories(folder)) return false;
  std::string path = settingsPath();
  std::string old;
  readSmallFile(path, old, kMaxSettingsBytes);

  std::string out;
  bool written = false;
  forEachLine(old, [&](const std::string& line, const std::string& n, const std::string&) {
    if (n == name) {
      if (!written) out += name + "=" + value + "\n";
      written = true;
    } else {
      out += line + "\n";
    }
  });
  if (!written) out += name + "=" + value + "\n";
  return replaceFileAtomically(folder, path, out);
}

}  // namespace sys
