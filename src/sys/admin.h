#pragma once

namespace sys {

// Windows: the token is in the built-in Administrators group. POSIX: euid 0.
// Both answer false when treatedAsStandardUser() is true.
bool isRunningAsAdmin();

// The environment variable VANTREL_AS_STANDARD_USER=1 makes the program
// behave as for a standard user. Wine reports every user as an
// administrator, so this is how the tests see the standard user's program
// there (port, drive letter, status texts).
bool treatedAsStandardUser();

}  // namespace sys
