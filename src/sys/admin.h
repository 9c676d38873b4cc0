#pragma once

namespace sys {

// Windows: the token is in the built-in Administrators group. POSIX: euid 0.
bool isRunningAsAdmin();

}  // namespace sys
