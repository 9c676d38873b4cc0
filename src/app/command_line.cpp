#include "app/command_line.h"

namespace app {

bool hasAutostartSwitch(const std::string& commandLine) {
  return commandLine.find("--autostart") != std::string::npos;
}

int portSwitch(const std::string& commandLine) {
  size_t p = commandLine.find("--port");
  if (p == std::string::npos) return 0;
  p += 6;
  if (p < commandLine.size() && (commandLine[p] == '=' || commandLine[p] == ' ')) ++p;
  while (p < commandLine.size() && commandLine[p] == ' ') ++p;
  long port = 0;
  size_t digits = 0;
  while (p < commandLine.size() && commandLine[p] >= '0' && commandLine[p] <= '9' && digits < 6) {
    port = port * 10 + (commandLine[p++] - '0');
    ++digits;
  }
  if (digits == 0 || (p < commandLine.size() && commandLine[p] != ' ')) return 0;
  return port >= 1 && port <= 65535 ? (int)port : 0;
}

}  // namespace app
