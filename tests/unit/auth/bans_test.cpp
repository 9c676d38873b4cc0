#include "auth/bans.h"
#include "auth/ban_key.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t kT = 1700000000;

// Every test uses hosts of its own: the table is process-wide.
std::string host(const char* test) { return std::string("::ffff:10.0.0.") + test; }

TEST(Bans, ThirdFailureBansFor120SecondsAndNothingCountsMeanwhile) {
  std::string h = host("third");
  EXPECT_FALSE(auth::recordFailure(h, kT));
  EXPECT_FALSE(auth::recordFailure(h, kT + 10));
  EXPECT_FALSE(auth::checkBan(h, kT + 20).banned);
  EXPECT_TRUE(auth::recordFailure(h, kT + 20));

  auth::BanState s = auth::checkBan(h, kT + 50);
  EXPECT_TRUE(s.banned);
  EXPECT_EQ(s.remaining, 90u);
  EXPECT_FALSE(auth::recordFailure(h, kT + 60));  // not counted, ban not extended
  EXPECT_FALSE(auth::recordFailure(h, kT + 61));
  EXPECT_FALSE(auth::recordFailure(h, kT + 62));
  EXPECT_EQ(auth::checkBan(h, kT + 139).remaining, 1u);
  s = auth::checkBan(h, kT + 140);
  EXPECT_FALSE(s.banned);
  EXPECT_EQ(s.remaining, 0u);

  // After the ban the count starts again from zero.
  EXPECT_FALSE(auth::recordFailure(h, kT + 141));
  EXPECT_FALSE(auth::recordFailure(h, kT + 142));
  EXPECT_TRUE(auth::recordFailure(h, kT + 143));
}

TEST(Bans, ARightPinInBetweenStartsTheCountAgain) {
  std::string h = host("right");
  auth::recordFailure(h, kT);
  auth::recordFailure(h, kT + 1);
  auth::clearFailures(h);
  EXPECT_FALSE(auth::recordFailure(h, kT + 2));
  EXPECT_FALSE(auth::recordFailure(h, kT + 3));
  EXPECT_TRUE(auth::recordFailure(h, kT + 4));
}

TEST(Bans, FailuresAreForgottenAfter900QuietSeconds) {
  std::string kept = host("kept");
  auth::recordFailure(kept, kT);
  auth::recordFailure(kept, kT + 900);
  EXPECT_TRUE(auth::recordFailure(kept, kT + 1800));  // each gap exactly 900: still one series

  std::string fresh = host("fresh");
  auth::recordFailure(fresh, kT);
  auth::recordFailure(fresh, kT + 1);
  EXPECT_FALSE(auth::recordFailure(fresh, kT + 902));  // 901 s after the last: a new series
  EXPECT_FALSE(auth::recordFailure(fresh, kT + 903));
  EXPECT_TRUE(auth::recordFailure(fresh, kT + 904));
}

TEST(Bans, AddressesAreCountedApart) {
  std::string a = host("a"), b = host("b");
  auth::recordFailure(a, kT);
  auth::recordFailure(a, kT);
  EXPECT_FALSE(auth::recordFailure(b, kT));
  EXPECT_TRUE(auth::recordFailure(a, kT));
  EXPECT_FALSE(auth::checkBan(b, kT).banned);
  EXPECT_TRUE(auth::checkBan(a, kT).banned);
}

TEST(BanPrune, KeepsRunningBansAndRecentFailures) {
  auth::BanTable t;
  t["banned"] = {0, 2000, 10};
  t["recent"] = {2, 0, 1100};
  t["edge"] = {1, 0, 1000};
  t["old"] = {1, 0, 999};
  t["over"] = {0, 1900, 999};
  t["empty"] = {};
  t["owner"] = {0, 0, 0, true};
  auth::pruneBans(t, 1900);
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(t.count("owner"), 1u);
  EXPECT_EQ(t.count("banned"), 1u);
  EXPECT_EQ(t.count("recent"), 1u);
  EXPECT_EQ(t.count("edge"), 1u);
}

TEST(Bans, IPv6AddressesCountByTheirSlash64AndIPv4OnesWhole) {
  EXPECT_EQ(auth::banKey("fe80::1%eth0"), "fe80:0:0:0::/64");
  EXPECT_EQ(auth::banKey("::ffff:a00:2"), "::ffff:10.0.0.2");
  EXPECT_EQ(auth::banKey("10.0.0.1"), "10.0.0.1");
  auth::recordFailure("2001:db8:77:1::1", kT);
  auth::recordFailure("2001:db8:77:1:ffff::2", kT);
  EXPECT_EQ(auth::takeStanding("2001:db8:77:2::1", kT), auth::AddressStanding::Unknown);
  EXPECT_TRUE(auth::recordFailure("2001:db8:77:1:1234:5678:9abc:def0", kT));
  EXPECT_TRUE(auth::checkBan("2001:db8:77:1::3", kT).banned);
  EXPECT_FALSE(auth::checkBan("::ffff:10.0.0.78", kT).banned);
}

}  // namespace
