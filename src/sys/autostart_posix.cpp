#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sys/autostart.h"
#include "sys/file_io.h"
#include "sys/folders.h"

namespace sys {

namespace {

std::string entryPath(const std::string& programName) {
  return joinPath(joinPath(configFolder(), "autostart"), programName + ".desktop");
}

// A desktop entry's Exec argument in double quotes: the characters that keep
// a meaning inside quotes get a backslash, and a percent sign (a field code)
// is doubled.
std::string quotedExecArgument(const std::string& path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

std::string execLine(const std::string& path) { return "Exec=" + quotedExecArgument(path) + " --autostart"; }

}  // namespace

std::string programFilePath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  return std::string(buffer, (size_t)n);
}

bool isAutostartEnabled(const std::string& programName) {
  std::string text;
  std::string self = programFilePath();
  if (self.empty() || !readSmallFile(entryPath(programName), text, 65536)) return false;
  return text.find("\n" + execLine(self) + "\n") != std::string::npos;
}

bool setAutostart(const std::string& programName, bool enable, std::string& error) {
  std::string path = entryPath(programName);
  if (!enable) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    error = "cannot remove " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string self = programFilePath();
  if (self.empty()) {
    error = "cannot find the program file";
    return false;
  }
  std::string folder = joinPath(configFolder(), "autostart");
  if (!createDirectories(folder)) {
    error = "cannot create " + folder;
    return false;
  }
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Vantrel PRO (" + programName + ")\n"
      "Comment=Shares a folder with the phones and laptops on the local network\n" +
      execLine(self) + "\n"
      "Terminal=false\n";
  if (!writeWholeFile(path, text)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sys
