// Share links: random-looking tokens that the server remembers for a day,
// or for the hours the user chose.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace auth {

constexpr uint64_t kShareLifetimeSeconds = 86400;
constexpr uint64_t kMaxShareHours = 720;

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
// The same with its own expiry.
std::string createShareUntil(const std::string& path, bool isFolder, uint64_t expiresAt);
// Finds a live entry; an expired one is removed here and not found.
bool lookupShare(const std::string& token, ShareEntry& entry);
void clearShares();
// Every live link by token, soonest expiry first; expired ones are removed here.
std::vector<std::pair<std::string, ShareEntry>> liveShares();
// Ends a live link at once; false when there is none of that token.
bool endShare(const std::string& token);
// The lifetime a request asks for: a whole number of hours from 1 to
// kMaxShareHours, anything else (none included) the default day.
uint64_t shareLifetimeSeconds(const std::string& hoursText);

}  // namespace auth
