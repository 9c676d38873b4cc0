#include "auth/bans.h"

#include <mutex>

namespace auth {

namespace {

std::mutex banMutex;
BanTable bans;

}  // namespace

void pruneBans(BanTable& table, uint64_t now) {
  for (auto it = table.begin(); it != table.end();) {
    const BanRecord& b = it->second;
    bool keep = b.bannedUntil > now || (b.lastFailure != 0 && now - b.lastFailure <= kFailureMemorySeconds);
    if (keep)
      ++it;
    else
      it = table.erase(it);
  }
}

BanState checkBan(const std::string& host, uint64_t now) {
  std::lock_guard<std::mutex> lock(banMutex);
  pruneBans(bans, now);
  BanState s;
  auto it = bans.find(host);
  if (it != bans.end() && it->second.bannedUntil > now) {
    s.banned = true;
    s.remaining = it->second.bannedUntil - now;
  }
  return s;
}

bool recordFailure(const std::string& host, uint64_t now) {
  std::lock_guard<std::mutex> lock(banMutex);
  pruneBans(bans, now);
  BanRecord& b = bans[host];
  // Banned between its check and now: the ban stands as it is.
  if (b.bannedUntil > now) return false;
  b.failures += 1;
  b.lastFailure = now;
  if (b.failures < kBanThreshold) return false;
  b.failures = 0;
  b.bannedUntil = now + kBanSeconds;
  return true;
}

void clearFailures(const std::string& host) {
  std::lock_guard<std::mutex> lock(banMutex);
  bans.erase(host);
}

}  // namespace auth
