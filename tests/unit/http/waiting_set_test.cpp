#include "http/waiting_set.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

http::WaitingConnection conn(sys::SocketHandle s, const char* host, int64_t at) {
  http::WaitingConnection c{};
  c.socket = s;
  c.host = host;
  c.acceptedAtMs = at;
  return c;
}

TEST(WaitingSet, BoundsPerAddressAfterGraceAndInAllThenExpiresAndHandsOverInAcceptOrder) {
  http::WaitingSet set;
  std::vector<sys::SocketHandle> closed;
  // One address goes past its share in a burst: kept whole while young, then
  // trimmed to its share, oldest first, never another address's.
  http::addWaiting(set, conn(1, "other", 0), closed);
  for (int i = 0; i < http::kMaxWaitingPerAddress + 2; i++) http::addWaiting(set, conn(100 + i, "busy", 1 + i), closed);
  http::trimCrowdedAddresses(set, http::kCrowdGraceMs, closed);
  EXPECT_TRUE(closed.empty());
  http::trimCrowdedAddresses(set, http::kCrowdGraceMs + 2, closed);
  EXPECT_EQ(closed, (std::vector<sys::SocketHandle>{100, 101}));
  EXPECT_EQ(set.perHost["busy"], http::kMaxWaitingPerAddress);
  EXPECT_EQ(set.entries.front().socket, 1);

  // The whole set is bounded too: the oldest of all makes room.
  closed.clear();
  for (size_t i = set.entries.size(); i < http::kMaxWaiting; i++)
    http::addWaiting(set, conn(10000 + (int)i, ("h" + std::to_string(i % 1000)).c_str(), 1000), closed);
  EXPECT_TRUE(closed.empty());
  http::addWaiting(set, conn(99999, "late", 2000), closed);
  EXPECT_EQ(closed, (std::vector<sys::SocketHandle>{1}));
  EXPECT_EQ(set.entries.size(), http::kMaxWaiting);
  EXPECT_EQ(set.perHost.count("other"), 0u);

  // Handing over keeps the rest in order and the counts right.
  std::vector<unsigned char> take(set.entries.size(), 0);
  take[0] = take[5] = 1;
  auto taken = http::takeWaiting(set, take);
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].socket, 102);
  EXPECT_EQ(taken[1].socket, 107);
  EXPECT_EQ(set.perHost["busy"], http::kMaxWaitingPerAddress - 2);

  // Expiry closes exactly those that waited the idle time, oldest first.
  closed.clear();
  EXPECT_EQ(http::msUntilNextExpiry(set, 500, 1000), 504);  // socket 103, accepted at 4
  http::expireWaiting(set, 1999, 1000, closed);
  EXPECT_EQ(closed.size(), (size_t)http::kMaxWaitingPerAddress - 2);
  EXPECT_EQ(set.perHost.count("busy"), 0u);
  http::expireWaiting(set, 3000, 1000, closed);
  EXPECT_TRUE(set.entries.empty());
  EXPECT_TRUE(set.perHost.empty());
  EXPECT_EQ(http::msUntilNextExpiry(set, 3000, 1000), -1);
}

}  // namespace
