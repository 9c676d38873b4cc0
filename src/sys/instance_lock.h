// Only one copy of either program may run at a time.
#pragma once
#include <string>

namespace sys {

// Takes the process-wide single-instance lock and keeps it until the process
// ends. False when another running copy holds it. On POSIX the lock is a file
// in lockFolder; on Windows it is the named mutex and lockFolder is unused.
bool acquireSingleInstance(const std::string& lockFolder);

}  // namespace sys
