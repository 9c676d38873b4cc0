// Starting the program with the user's session: the value "Vantrel PRO"
// under the per-user Run key on Windows, an XDG autostart entry
// (<config>/autostart/<programName>.desktop) elsewhere. Either starts this
// very program file with " --autostart".
#pragma once
#include <string>

namespace sys {

// True when the entry exists and names this program file.
bool isAutostartEnabled(const std::string& programName);
// Writes or removes the entry. Removing an entry that is not there
// succeeds. On failure error tells why.
bool setAutostart(const std::string& programName, bool enable, std::string& error);

// The program file's full path; empty when it cannot be read.
std::string programFilePath();

}  // namespace sys
