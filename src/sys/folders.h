// Per-user folders and the few whole-path operations the shell needs.
#pragma once
#include <string>

namespace sys {

extern const char kPathSeparator;

// The per-user data folder of the program ("...\Vantrel" or ".../vantrel").
std::string baseFolder();
// The per-user configuration folder (Linux settings and autostart live there).
std::string configFolder();

std::string joinPath(const std::string& folder, const std::string& name);
bool pathExists(const std::string& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool createDirectories(const std::string& path);

}  // namespace sys
