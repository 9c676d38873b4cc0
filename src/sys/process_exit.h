#pragma once

namespace sys {

// Ends the process at once with the given code, without running static
// destructors: connection threads that are still finishing keep valid
// tables and log to the very end.
[[noreturn]] void exitProcess(int code);

}  // namespace sys
