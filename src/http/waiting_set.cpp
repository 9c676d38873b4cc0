#include "http/waiting_set.h"

#include <algorithm>

namespace http {

namespace {

void forget(WaitingSet& set, const std::string& host) {
  auto it = set.perHost.find(host);
  if (it != set.perHost.end() && --it->second <= 0) set.perHost.erase(it);
}

void evictAt(WaitingSet& set, size_t i, std::vector<sys::SocketHandle>& evicted) {
  evicted.push_back(set.entries[i].socket);
  forget(set, set.entries[i].host);
  set.entries.erase(set.entries.begin() + (std::ptrdiff_t)i);
}

}  // namespace

void addWaiting(WaitingSet& set, const WaitingConnection& c, std::vector<sys::SocketHandle>& evicted) {
  auto it = set.perHost.find(c.host);
  if (it != set.perHost.end() && it->second >= kMaxWaitingPerAddress) {
    for (size_t i = 0; i < set.entries.size(); i++) {
      if (set.entries[i].host == c.host) {
        if (c.acceptedAtMs - set.entries[i].acceptedAtMs >= kCrowdGraceMs) evictAt(set, i, evicted);
        break;
      }
    }
  }
  if (set.entries.size() >= kMaxWaiting) evictAt(set, 0, evicted);
  set.entries.push_back(c);
  set.perHost[c.host]++;
}

std::vector<WaitingConnection> takeWaiting(WaitingSet& set, const std::vector<unsigned char>& take) {
  std::vector<WaitingConnection> taken;
  size_t kept = 0;
  for (size_t i = 0; i < set.entries.size(); i++) {
    if (i < take.size() && take[i]) {
      forget(set, set.entries[i].host);
      taken.push_back(std::move(set.entries[i]));
    } else {
      if (kept != i) set.entries[kept] = std::move(set.entries[i]);
      kept++;
    }
  }
  set.entries.resize(kept);
  return taken;
}

void expireWaiting(WaitingSet& set, int64_t nowMs, int idleMs, std::vector<sys::SocketHandle>& expired) {
  // Entries are in accept order, so the expired ones are a prefix.
  size_t n = 0;
  while (n < set.entries.size() && nowMs - set.entries[n].acceptedAtMs >= idleMs) {
    expired.push_back(set.entries[n].socket);
    forget(set, set.entries[n].host);
    n++;
  }
  set.entries.erase(set.entries.begin(), set.entries.begin() + (std::ptrdiff_t)n);
}

void trimCrowdedAddresses(WaitingSet& set, int64_t nowMs, std::vector<sys::SocketHandle>& evicted) {
  bool crowded = false;
  for (const auto& h : set.perHost) crowded = crowded || h.second > kMaxWaitingPerAddress;
  if (!crowded) return;
  size_t kept = 0;
  for (size_t i = 0; i < set.entries.size(); i++) {
    WaitingConnection& c = set.entries[i];
    auto it = set.perHost.find(c.host);
    if (it->second > kMaxWaitingPerAddress && nowMs - c.acceptedAtMs >= kCrowdGraceMs) {
      evicted.push_back(c.socket);
      it->second--;
      continue;
    }
    if (kept != i) set.entries[kept] = std::move(c);
    kept++;
  }
  set.entries.resize(kept);
}

int64_t msUntilNextExpiry(const WaitingSet& set, int64_t nowMs, int idleMs) {
  if (set.entries.empty()) return -1;
  return std::max<int64_t>(0, set.entries.front().acceptedAtMs + idleMs - nowMs);
}

}  // namespace http
