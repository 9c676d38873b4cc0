#include "http/waiting_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

http::WaitingConnection conn(sys::SocketHandle s, const std::string& key, int64_t at, int64_t expires = 1000000) {
  http::WaitingConnection c;
  c.conn.socket = s;
  c.conn.addressKey = key;
  c.conn.acceptedAtMs = at;
  c.expiresAtMs = expires;
  return c;
}

std::vector<sys::SocketHandle> sockets(const std::vector<http::WaitingConnection>& list) {
  std::vector<sys::SocketHandle> out;
  for (const auto& c : list) out.push_back(c.conn.socket);
  return out;
}

TEST(WaitingSet, BoundsPerAddressAfterGraceAndInAllThenExpiresAndHandsOverInOrder) {
  http::WaitingSet set;
  std::vector<http::WaitingConnection> closed;
  // One address goes past its share in a burst: kept whole while young, then
  // trimmed to its share, oldest first, never another address's. The oldest
  // is one a thread gave back after the listener took the others.
  http::addWaiting(set, conn(1, "other", 0), closed);
  for (int i = 1; i < http::kMaxWaitingPerAddress + 2; i++) http::addWaiting(set, conn(100 + i, "busy", 1 + i), closed);
  http::addWaiting(set, conn(100, "busy", 1), closed);
  http::trimCrowdedAddresses(set, http::kCrowdGraceMs, closed);
  EXPECT_TRUE(closed.empty());
  http::trimCrowdedAddresses(set, http::kCrowdGraceMs + 2, closed);
  EXPECT_EQ(sockets(closed), (std::vector<sys::SocketHandle>{100, 101}));
  EXPECT_EQ(set.perAddress["busy"], http::kMaxWaitingPerAddress);
  EXPECT_EQ(set.entries.front().conn.socket, 1);

  // The whole set is bounded too: the oldest of all makes room.
  closed.clear();
  for (size_t i = set.entries.size(); i < http::kMaxWaiting; i++)
    http::addWaiting(set, conn(10000 + (int)i, "h" + std::to_string(i % 1000), 1000), closed);
  EXPECT_TRUE(closed.empty());
  http::addWaiting(set, conn(99999, "late", 2000), closed);
  EXPECT_EQ(sockets(closed), (std::vector<sys::SocketHandle>{1}));
  EXPECT_EQ(set.entries.size(), http::kMaxWaiting);
  EXPECT_EQ(set.perAddress.count("other"), 0u);
  // One given back older than all makes the room itself.
  closed.clear();
  http::addWaiting(set, conn(99998, "given back", 0), closed);
  EXPECT_EQ(sockets(closed), (std::vector<sys::SocketHandle>{99998}));
  EXPECT_EQ(set.perAddress.count("given back"), 0u);

  // Handing over keeps the rest in order and the counts right.
  std::vector<unsigned char> take(set.entries.size(), 0);
  take[0] = take[5] = 1;
  auto taken = http::takeWaiting(set, take);
  EXPECT_EQ(sockets(taken), (std::vector<sys::SocketHandle>{102, 107}));
  EXPECT_EQ(set.perAddress["busy"], http::kMaxWaitingPerAddress - 2);

  // Each connection expires at its own time, wherever it stands.
  closed.clear();
  set.entries[3].expiresAtMs = 500;
  set.entries[7].expiresAtMs = 700;
  EXPECT_EQ(http::msUntilNextExpiry(set, 100), 400);
  http::expireWaiting(set, 600, closed);
  EXPECT_EQ(sockets(closed), (std::vector<sys::SocketHandle>{106}));
  http::expireWaiting(set, 2000000, closed);
  EXPECT_TRUE(set.entries.empty());
  EXPECT_TRUE(set.perAddress.empty());
  EXPECT_EQ(http::msUntilNextExpiry(set, 3000), -1);
}

TEST(WaitingSet, HeadBytesBeyondEachAllowanceShareOneBudget) {
  http::WaitingSet set;
  std::vector<http::WaitingConnection> closed;
  const size_t big = http::kHeadAllowance + 1048576;  // a head near its limit
  size_t fit = http::kWaitingHeadBudget / 1048576;
  for (size_t i = 0; i <= fit; i++) {
    http::addWaiting(set, conn((int)i, "k" + std::to_string(i), 0), closed);
    set.entries[i].conn.head.bytes.assign(big, 'x');
    EXPECT_EQ(http::noteHeadGrowth(set, i, 0), i < fit) << i;
  }
  // Heads within their allowance are never refused, however full the budget.
  http::addWaiting(set, conn(500, "small", 0), closed);
  set.entries.back().conn.head.bytes.assign(http::kHeadAllowance, 'y');
  EXPECT_TRUE(http::noteHeadGrowth(set, set.entries.size() - 1, 0));
  // What leaves the set gives its bytes back.
  std::vector<unsigned char> take(set.entries.size(), 1);
  http::takeWaiting(set, take);
  EXPECT_EQ(set.sharedHeadBytes, 0u);
  EXPECT_TRUE(closed.empty());
}

}  // namespace
