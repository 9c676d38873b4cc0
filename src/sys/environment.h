// Values the environment may give the program: the tests' way to shorten
// waits that would otherwise take a minute.
#pragma once

namespace sys {

// The positive whole number the variable holds, or 0 when it is unset or
// holds anything else.
int environmentNumber(const char* name);

}  // namespace sys
