#include "auth/sessions.h"

#include <mutex>

#include "auth/pin.h"
#include "sys/clock.h"
#include "sys/random_bytes.h"

namespace auth {

namespace {

std::mutex authMutex;
std::string runPin;
std::string masterPin;
SessionTable sessions;

// Equal length and bytes; the time taken does not depend on where they differ.
bool sameBytes(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= (unsigned char)(a[i] ^ b[i]);
  return diff == 0;
}

}  // namespace

void purgeSessions(SessionTable& table, uint64_t now) {
  if (table.lastPurge != 0 && now < table.lastPurge + kSessionPurgeSeconds) return;
  for (auto it = table.expiresAt.begin(); it != table.expiresAt.end();) {
    if (it->second <= now)
      it = table.expiresAt.erase(it);
    else
      ++it;
  }
  table.lastPurge = now;
}

void resetSessions() {
  std::string pin = generatePin();
  std::lock_guard<std::mutex> lock(authMutex);
  runPin = pin;
  sessions.expiresAt.clear();
  sessions.lastPurge = 0;
}

std::string getRunPin() {
  std::lock_guard<std::mutex> lock(authMutex);
  return runPin;
}

std::string getMasterPin() {
  std::lock_guard<std::mutex> lock(authMutex);
  return masterPin;
}

void storeMasterPin(const std::string& pin) {
  std::lock_guard<std::mutex> lock(authMutex);
  masterPin = pin;
}

bool pinMatches(const std::string& candidate) {
  std::string run, master;
  {
    std::lock_guard<std::mutex> lock(authMutex);
    run = runPin;
    master = masterPin;
  }
  if (!run.empty() && sameBytes(candidate, run)) return true;
  return !master.empty() && sameBytes(candidate, master);
}

std::string createSession() {
  std::lock_guard<std::mutex> lock(authMutex);
  uint64_t now = sys::nowSeconds();
  purgeSessions(sessions, now);
  uint64_t expiresAt = now + kSessionSeconds;
  for (int i = 0; i < kSessionTokenTries; ++i) {
    std::string token = sys::randomHex(16);
    if (token.empty()) return {};
    if (sessions.expiresAt.emplace(token, expiresAt).second) return token;
  }
  return {};
}

void purgeExpiredSessions() {
  std::lock_guard<std::mutex> lock(authMutex);
  purgeSessions(sessions, sys::nowSeconds());
}

bool sessionValid(const std::string& token) {
  std::lock_guard<std::mutex> lock(authMutex);
  auto it = sessions.expiresAt.find(token);
  return it != sessions.expiresAt.end() && it->second > sys::nowSeconds();
}

}  // namespace auth
