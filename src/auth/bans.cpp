#include "auth/bans.h"

#include <mutex>

#include "auth/ban_key.h"

namespace auth {

namespace {

std::mutex banMutex;
BanTable bans;

}  // namespace

void pruneBans(BanTable& table, uint64_t now) {
  for (auto it = table.begin(); it != table.end();) {
    const BanRecord& b = it->second;
    bool keep = b.bannedUntil > now || (b.lastFailure != 0 && now - b.lastFailure <= kFailureMemorySeconds) ||
                b.loggedIn;
    if (keep)
      ++it;
    else
      it = table.erase(it);
  }
}

BanState checkBan(const std::string& host, uint64_t now) {
  std::string key = banKey(host);
  std::lock_guard<std::mutex> lock(banMutex);
  pruneBans(bans, now);
  BanState s;
  auto it = bans.find(key);
  if (it != bans.end() && it->second.bannedUntil > now) {
    s.banned = true;
    s.remaining = it->second.bannedUntil - now;
  }
  return s;
}

bool recordFailure(const std::string& host, uint64_t now) {
  std::string key = banKey(host);
  std::lock_guard<std::mutex> lock(banMutex);
  pruneBans(bans, now);
  BanRecord& b = bans[key];
  // Banned between its check and now: the ban stands as it is.
  if (b.bannedUntil > now) return false;
  b.failures += 1;
  b.lastFailure = now;
  b.loggedIn = false;
  if (b.failures < kBanThreshold) return false;
  b.failures = 0;
  b.bannedUntil = now + kBanSeconds;
  return true;
}

void clearFailures(const std::string& host) {
  std::string key = banKey(host);
  std::lock_guard<std::mutex> lock(banMutex);
  bans[key] = BanRecord{.loggedIn = true};
}

AddressStanding takeStanding(const std::string& host, uint64_t now) {
  std::string key = banKey(host);
  std::lock_guard<std::mutex> lock(banMutex);
  pruneBans(bans, now);
  auto it = bans.find(key);
  if (it == bans.end()) return AddressStanding::Unknown;
  if (!it->second.loggedIn) return AddressStanding::Failed;
  // Nothing else keeps the record: the next prune forgets it.
  it->second.loggedIn = false;
  return AddressStanding::LoggedIn;
}

}  // namespace auth
