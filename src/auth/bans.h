// Failed logins per client address (its banKey): the third wrong PIN in a
// row, with no pause of more than 900 seconds, closes both login endpoints
// to that address for 120 seconds. The table sits behind banMutex.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

namespace auth {

constexpr int kBanThreshold = 3;
constexpr uint64_t kBanSeconds = 120;
constexpr uint64_t kFailureMemorySeconds = 900;

struct BanRecord {
  int32_t failures = 0;      // wrong PINs since the first one or the last ban
  uint64_t bannedUntil = 0;  // banned while this is later than now
  uint64_t lastFailure = 0;  // time of the last counted wrong PIN
  bool loggedIn = false;     // a right PIN came from here, and no wrong one since
};

// Keyed by banKey of the client's numeric host text.
using BanTable = std::unordered_map<std::string, BanRecord>;

struct BanState {
  bool banned = false;
  uint64_t remaining = 0;  // seconds; 0 when not banned
};

// Forgets records whose ban is over and whose last failure is older than
// kFailureMemorySeconds, but keeps the addresses the owner logged in from. For the process table the caller holds banMutex.
void pruneBans(BanTable& table, uint64_t now);

BanState checkBan(const std::string& host, uint64_t now);
// Counts a wrong PIN; true only for the failure that starts a ban. A failure
// arriving while the address is already banned is not counted.
bool recordFailure(const std::string& host, uint64_t now);
// A right PIN forgets the address's failures and marks it logged in.
void clearFailures(const std::string& host);

enum class AddressStanding {
  Unknown,   // nothing on record
  LoggedIn,  // a right PIN, and no wrong one since
  Failed,    // a failure on record, or banned
};
// The address's standing for a PIN check about to be made. LoggedIn is
// handed out once: until a right PIN marks the address again it stands as
// Unknown, so concurrent tries cannot share it.
AddressStanding takeStanding(const std::string& host, uint64_t now);

}  // namespace auth
