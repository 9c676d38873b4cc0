// The Windows programs' command line: "--autostart" anywhere, and "--port N"
// (the same switch as on Linux) for running beside another server.
#pragma once
#include <string>

namespace app {

bool hasAutostartSwitch(const std::string& commandLine);
// The port after "--port", or 0 when absent or not a port number.
int portSwitch(const std::string& commandLine);

}  // namespace app
