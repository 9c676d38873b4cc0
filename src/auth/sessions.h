// The run PIN, the master PIN and the session table, all behind one lock
// (authMutex), held only for a copy, a lookup, an insertion or a sweep.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

namespace auth {

constexpr uint64_t kSessionSeconds = 28800;     // fixed at issue; use does not extend it
constexpr uint64_t kSessionPurgeSeconds = 60;   // at most one sweep per minute
constexpr int kSessionTokenTries = 8;

struct SessionTable {
  std::unordered_map<std::string, uint64_t> expiresAt;  // token -> nowSeconds at which it ends
  uint64_t lastPurge = 0;                               // 0: never swept
};

// Drops the sessions that have ended, unless the last sweep is less than a
// minute old. For the process table the caller holds authMutex.
void purgeSessions(SessionTable& table, uint64_t now);

// Start-up: a new run PIN, no sessions.
void resetSessions();
std::string getRunPin();
std::string getMasterPin();
// Replaces the master PIN in memory (the caller has checked its form).
void storeMasterPin(const std::string& pin);
// True when the candidate equals a non-empty run PIN or master PIN.
bool pinMatches(const std::string& candidate);

// A new session of kSessionSeconds; its token is 32 hex digits. Empty when
// the generator failed or kSessionTokenTries draws all collided.
std::string createSession();
// Sweeps the table when a minute has passed since the last sweep.
void purgeExpiredSessions();
// True when the token names a session that has not ended.
bool sessionValid(const std::string& token);

}  // namespace auth
