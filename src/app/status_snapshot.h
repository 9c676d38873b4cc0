// Reads the live state that the status texts are computed from.
#pragma once
#include <string>

#include "app/status_text.h"

namespace app {

// Server state, PIN, URL host, TLS, admin rights, web root, drive letter and
// the adapter lines as they are now. Enumerates the adapters, so call it on
// events.
StatusSnapshot currentStatus(const std::string& baseFolder);

// The auto-login URL with the current host, run PIN and the listening port
// (while stopped, the port a start would use).
std::string autoLoginUrl();

}  // namespace app
