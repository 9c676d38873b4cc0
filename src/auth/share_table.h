// Share links: random-looking tokens that the server remembers for a day.
#pragma once
#include <cstdint>
#include <string>

namespace auth {

constexpr uint64_t kShareLifetimeSeconds = 86400;

struct ShareEntry {
  std::string path;  // client path as normalizeClientPath leaves it; never empty
  uint64_t expiresAt = 0;
  bool isFolder = false;
};

// Draws the process's share secret and empties the table; false when the
// generator failed. Start-up calls it once before the server starts; the
// secret is only read afterwards.
bool initShareSecret();
// SHA-256 over the secret, the kind, the path, the expiry and a fresh nonce,
// as 64 hex digits; empty when hashing or the generator fails. Never recomputed later.
std::string shareToken(const std::string& path, bool isFolder, uint64_t expiresAt);
// A new token for the path (the web root itself cannot be shared); empty on
// failure. Sharing a path again adds an independent token.
std::string createShare(const std::string& path, bool isFolder);
// Finds a live entry; an expired one is removed here and not found.
bool lookupShare(const std::string& token, ShareEntry& entry);
void clearShares();

}  // namespace auth
