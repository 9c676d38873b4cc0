#include "app/console/options.h"

#include <cstdlib>

namespace console {

static bool parsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  for (char ch : text)
    if (ch < '0' || ch > '9') return false;
  port = std::atoi(text.c_str());
  return port >= 1 && port <= 65535;
}

Options parseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    std::string value;
    bool hasValue = false;
    size_t eq = a.find('=');
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
      hasValue = true;
    }
    if (a == "--port" || a == "--root") {
      if (!hasValue) {
        if (i + 1 >= argc) {
          o.error = "option " + a + " needs a value";
          return o;
        }
        value = argv[++i];
      }
      if (a == "--port" && !parsePort(value, o.port)) {
        o.error = "invalid port: " + value;
        return o;
      }
      if (a == "--root") {
        if (value.empty()) {
          o.error = "option --root needs a folder";
          return o;
        }
        o.root = value;
      }
    } else if (a == "--autostart" && !hasValue) {
      o.autostart = true;
    } else if ((a == "--autostart-on" || a == "--autostart-off") && !hasValue) {
      o.autostartSwitch = a == "--autostart-on" ? 1 : -1;
    } else if ((a == "--help" || a == "-h") && !hasValue) {
      o.help = true;
    } else if (a == "--version" && !hasValue) {
      o.version = true;
    } else {
      o.error = "unknown option: " + std::string(argv[i]);
      return o;
    }
  }
  return o;
}

std::string usageText(const char* program) {
  return std::string("Usage: ") + program +
         " [options]\n"
         "Serves one folder to browsers on the local network.\n\n"
         "Options:\n"
         "  --port N     listen on port N instead of the default\n"
         "  --root DIR   serve DIR for this run (not stored)\n"
         "  --autostart  accepted for compatibility; no effect on Linux\n"
         "  --autostart-on   start this program at login (an XDG autostart entry), then exit\n"
         "  --autostart-off  remove that entry, then exit\n"
         "  --help       show this text\n"
         "  --version    show the version\n";
}

}  // namespace console
