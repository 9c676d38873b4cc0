#include "http/waiting_set.h"

#include <algorithm>

namespace http {

namespace {

size_t beyondAllowance(size_t headBytes) { return headBytes > kHeadAllowance ? headBytes - kHeadAllowance : 0; }

void forget(WaitingSet& set, const WaitingConnection& c) {
  auto it = set.perAddress.find(c.conn.addressKey);
  if (it != set.perAddress.end() && --it->second <= 0) set.perAddress.erase(it);
  set.sharedHeadBytes -= beyondAllowance(c.conn.head.bytes.size());
}

void evictAt(WaitingSet& set, size_t i, std::vector<WaitingConnection>& evicted) {
  forget(set, set.entries[i]);
  evicted.push_back(std::move(set.entries[i]));
  set.entries.erase(set.entries.begin() + (std::ptrdiff_t)i);
}

// Keeps the entries keep says to, in order, and moves the others to out.
template <typename Keep>
void partitionOut(WaitingSet& set, std::vector<WaitingConnection>& out, Keep keep) {
  size_t kept = 0;
  for (size_t i = 0; i < set.entries.size(); i++) {
    if (!keep(set.entries[i])) {
      forget(set, set.entries[i]);
      out.push_back(std::move(set.entries[i]));
      continue;
    }
    if (kept != i) set.entries[kept] = std::move(set.entries[i]);
    kept++;
  }
  set.entries.resize(kept);
}

}  // namespace

void addWaiting(WaitingSet& set, WaitingConnection&& c, std::vector<WaitingConnection>& evicted) {
  auto it = set.perAddress.find(c.conn.addressKey);
  if (it != set.perAddress.end() && it->second >= kMaxWaitingPerAddress) {
    for (size_t i = 0; i < set.entries.size(); i++) {
      if (set.entries[i].conn.addressKey == c.conn.addressKey) {
        if (c.conn.acceptedAtMs - set.entries[i].conn.acceptedAtMs >= kCrowdGraceMs) evictAt(set, i, evicted);
        break;
      }
    }
  }
  set.perAddress[c.conn.addressKey]++;
  set.sharedHeadBytes += beyondAllowance(c.conn.head.bytes.size());
  auto at = std::upper_bound(set.entries.begin(), set.entries.end(), c.conn.acceptedAtMs,
                             [](int64_t t, const WaitingConnection& e) { return t < e.conn.acceptedAtMs; });
  set.entries.insert(at, std::move(c));
  // Only now: the oldest of all may be the one just given back.
  if (set.entries.size() > kMaxWaiting) evictAt(set, 0, evicted);
}

std::vector<WaitingConnection> takeWaiting(WaitingSet& set, const std::vector<unsigned char>& take) {
  std::vector<WaitingConnection> taken;
  size_t i = 0;
  partitionOut(set, taken, [&](const WaitingConnection&) {
    bool keep = !(i < take.size() && take[i]);
    i++;
    return keep;
  });
  return taken;
}

WaitingConnection takeLast(WaitingSet& set) {
  forget(set, set.entries.back());
  WaitingConnection c = std::move(set.entries.back());
  set.entries.pop_back();
  return c;
}

bool noteHeadGrowth(WaitingSet& set, size_t i, size_t oldSize) {
  size_t now = beyondAllowance(set.entries[i].conn.head.bytes.size()), before = beyondAllowance(oldSize);
  set.sharedHeadBytes = set.sharedHeadBytes - before + now;
  return now <= before || set.sharedHeadBytes <= kWaitingHeadBudget;
}

void expireWaiting(WaitingSet& set, int64_t nowMs, std::vector<WaitingConnection>& expired) {
  partitionOut(set, expired, [&](const WaitingConnection& c) { return c.expiresAtMs > nowMs; });
}

void trimCrowdedAddresses(WaitingSet& set, int64_t nowMs, std::vector<WaitingConnection>& evicted) {
  bool crowded = false;
  for (const auto& h : set.perAddress) crowded = crowded || h.second > kMaxWaitingPerAddress;
  if (!crowded) return;
  // The oldest come first, so each address loses its oldest beyond its share.
  partitionOut(set, evicted, [&](const WaitingConnection& c) {
    return set.perAddress.find(c.conn.addressKey)->second <= kMaxWaitingPerAddress ||
           nowMs - c.conn.acceptedAtMs < kCrowdGraceMs;
  });
}

int64_t msUntilNextExpiry(const WaitingSet& set, int64_t nowMs) {
  if (set.entries.empty()) return -1;
  int64_t first = set.entries.front().expiresAtMs;
  for (const WaitingConnection& c : set.entries) first = std::min(first, c.expiresAtMs);
  return std::max<int64_t>(0, first - nowMs);
}

}  // namespace http
