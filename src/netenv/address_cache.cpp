#include "netenv/address_cache.h"

#include <mutex>

namespace netenv {

namespace {
std::mutex cacheMutex;
std::string cached;
}  // namespace

std::string cachedAddress() {
  std::lock_guard<std::mutex> lock(cacheMutex);
  return cached;
}

void setCachedAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  cached = address;
}

// Adapter enumeration is not wired in yet: no address qualifies.
std::string findCachedAddress() { return cachedAddress(); }

}  // namespace netenv
