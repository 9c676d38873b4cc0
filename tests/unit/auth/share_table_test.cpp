#include "auth/share_table.h"

#include <gtest/gtest.h>

#include "sys/clock.h"
#include "sys/sha256.h"

namespace {

class Shares : public ::testing::Test {
 protected:
  const uint64_t t0 = 1800000000;
  void SetUp() override {
    auth::initShareSecret();
    sys::setNowForTests(t0);
  }
  void TearDown() override {
    sys::setNowForTests(0);
    auth::clearShares();
  }
};

bool isToken(const std::string& t) {
  return t.size() == 64 && t.find_first_not_of("0123456789abcdef") == std::string::npos;
}

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(sys::sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sys::sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sys::sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_F(Shares, ALinkLivesUntilExactlyOneDayHasPassed) {
  std::string token = auth::createShare("docs/a.txt", false);
  ASSERT_TRUE(isToken(token)) << token;
  auth::ShareEntry e;
  sys::setNowForTests(t0 + 86399);
  ASSERT_TRUE(auth::lookupShare(token, e));
  EXPECT_EQ(e.path, "docs/a.txt");
  EXPECT_EQ(e.expiresAt, t0 + 86400);
  EXPECT_FALSE(e.isFolder);
  sys::setNowForTests(t0 + 86400);
  EXPECT_FALSE(auth::lookupShare(token, e));
  // Gone for good: the expired entry left the table at that lookup.
  sys::setNowForTests(t0);
  EXPECT_FALSE(auth::lookupShare(token, e));
}

TEST_F(Shares, SharingTwiceGivesTwoIndependentTokens) {
  std::string a = auth::createShare("docs", true), b = auth::createShare("docs", true);
  ASSERT_TRUE(isToken(a));
  ASSERT_TRUE(isToken(b));
  EXPECT_NE(a, b);
  auth::ShareEntry e;
  EXPECT_TRUE(auth::lookupShare(a, e));
  EXPECT_TRUE(e.isFolder);
  EXPECT_TRUE(auth::lookupShare(b, e));
}

TEST_F(Shares, PathsAreStoredCleanAndTheWebRootCannotBeShared) {
  auth::ShareEntry e;
  ASSERT_TRUE(auth::lookupShare(auth::createShare("\\\\docs\\sub", true), e));
  EXPECT_EQ(e.path, "docs/sub");
  EXPECT_EQ(auth::createShare("", true), "");
  EXPECT_EQ(auth::createShare("///", false), "");
}

TEST_F(Shares, ClearingEndsEveryLink) {
  std::string a = auth::createShare("x", false), b = auth::createShare("y", true);
  auth::clearShares();
  auth::ShareEntry e;
  EXPECT_FALSE(auth::lookupShare(a, e));
  EXPECT_FALSE(auth::lookupShare(b, e));
  EXPECT_FALSE(auth::lookupShare("", e));
}

TEST_F(Shares, LiveLinksAreListedSoonestFirstAndEndedAtOnce) {
  std::string week = auth::createShareUntil("w", true, t0 + 7 * 86400);
  std::string hour = auth::createShareUntil("h", false, t0 + 3600);
  std::string day = auth::createShare("d", false);
  auto live = auth::liveShares();
  ASSERT_EQ(live.size(), 3u);
  EXPECT_EQ(live[0].first, hour);
  EXPECT_EQ(live[1].first, day);
  EXPECT_EQ(live[2].second.path, "w");

  EXPECT_TRUE(auth::endShare(day));
  EXPECT_FALSE(auth::endShare(day));
  auth::ShareEntry e;
  EXPECT_FALSE(auth::lookupShare(day, e));
  sys::setNowForTests(t0 + 3600);
  live = auth::liveShares();
  ASSERT_EQ(live.size(), 1u);
  EXPECT_EQ(live[0].first, week);
  // An expired link is not ended: it is gone already.
  EXPECT_FALSE(auth::endShare(hour));
}

}  // namespace
