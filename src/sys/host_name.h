// This computer's own name on the network, as UTF-8.
#pragma once
#include <string>

namespace sys {

// The host name without any domain; empty when it cannot be read.
std::string computerName();

}  // namespace sys
