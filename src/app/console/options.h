// Command line of the Linux front end.
#pragma once
#include <string>

namespace console {

struct Options {
  int port = 0;      // 0: the flavour's default port
  std::string root;  // serve this folder for this run; empty: the stored web root
  bool autostart = false;
  int autostartSwitch = 0;  // 1: --autostart-on, -1: --autostart-off
  bool help = false;
  bool version = false;
  std::string error;  // set when the command line cannot be used
};

Options parseOptions(int argc, char** argv);
std::string usageText(const char* program);

}  // namespace console
