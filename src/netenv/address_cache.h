// The LAN address that goes into URLs and the certificate.
#pragma once
#include <string>

namespace netenv {

// The cached LAN address, read under its lock; empty when none is known.
std::string cachedAddress();
void setCachedAddress(const std::string& address);
// Looks the address up among the machine's adapters, caches and returns it;
// empty when none qualifies.
std::string findCachedAddress();

}  // namespace netenv
