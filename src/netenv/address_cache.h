// The two remembered addresses, each behind its own lock: the LAN address
// found at start-up (URLs and the certificate) and the one the user picked.
#pragma once
#include <string>

namespace netenv {

// The cached LAN address; empty until one was found.
std::string cachedAddress();
void setCachedAddress(const std::string& address);
// Looks the address up among this machine's adapters and default routes by
// the flavour's rule; a non-empty result is cached, an empty one leaves the
// cache as it was.
std::string findCachedAddress();

// The address picked in the address list; empty means automatic.
std::string selectedAddress();
void setSelectedAddress(const std::string& address);

// The host of every URL shown: the picked address (where the flavour has an
// address list), else the cached one, else "localhost".
std::string urlHost();
std::string urlHost(const std::string& selected, const std::string& cached);

}  // namespace netenv
