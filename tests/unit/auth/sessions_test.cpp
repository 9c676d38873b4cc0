#include "auth/sessions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/flavour.h"
#include "auth/login.h"
#include "auth/pin.h"
#include "auth/session_cookie.h"
#include "auth/share_table.h"
#include "sys/clock.h"
#include "sys/random_bytes.h"

namespace {

constexpr uint64_t kT = 1700000000;

bool zeroSource(void* out, size_t n) {
  std::memset(out, 0, n);
  return true;
}
bool failingSource(void*, size_t) { return false; }
bool source4217(void* out, size_t n) {
  uint32_t v = 4217 + 1000000u * 7;  // the PIN keeps only the value modulo 10^6
  std::memset(out, 0, n);
  std::memcpy(out, &v, n < sizeof v ? n : sizeof v);
  return true;
}
bool countingSource(void* out, size_t n) {
  for (size_t i = 0; i < n; ++i) ((unsigned char*)out)[i] = (unsigned char)(0xA0 + i);
  return true;
}

http::HttpRequest withCookie(const std::string& header) {
  http::HttpRequest r;
  r.method = "GET";
  r.path = "/";
  if (!header.empty()) r.headers.push_back({"cookie", header});
  return r;
}

bool loggedIn(const std::string& token) {
  return auth::isAuthenticated(withCookie(std::string(core::flavour().auth.cookieName) + "=" + token));
}

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override {
    sys::setNowForTests(kT);
    auth::resetSessions();
  }
  void TearDown() override {
    sys::setRandomSourceForTests(nullptr);
    sys::setNowForTests(0);
  }
};

TEST_F(Sessions, LastEightHoursToTheSecondWithoutExtension) {
  std::string token = auth::createSession();
  EXPECT_EQ(token.size(), 32u);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  sys::setNowForTests(kT + 28799);
  EXPECT_TRUE(loggedIn(token));  // use does not extend it
  sys::setNowForTests(kT + 28800);
  EXPECT_FALSE(loggedIn(token));
  sys::setNowForTests(kT + 100);  // a clock set back brings it back: expiry is absolute
  EXPECT_TRUE(loggedIn(token));
}

TEST_F(Sessions, ResetEndsEverySessionAndDrawsANewRunPin) {
  std::string token = auth::createSession();
  ASSERT_TRUE(loggedIn(token));
  auth::resetSessions();
  EXPECT_FALSE(loggedIn(token));
  EXPECT_TRUE(auth::isSixDigits(auth::getRunPin()));
}

TEST_F(Sessions, ARepeatedTokenIsRefusedNeverShared) {
  sys::setRandomSourceForTests(zeroSource);
  std::string first = auth::createSession();
  std::string second = auth::createSession();
  EXPECT_EQ(first, std::string(32, '0'));
  EXPECT_EQ(second, "");
  EXPECT_TRUE(loggedIn(first));
}

TEST(SessionPurge, SweepsAtMostOncePerMinute) {
  auth::SessionTable t;
  t.expiresAt = {{"a", 100}, {"b", 150}, {"c", 500}};
  auth::purgeSessions(t, 100);  // never swept before: sweeps, expiresAt <= now goes
  EXPECT_EQ(t.expiresAt.count("a"), 0u);
  EXPECT_EQ(t.expiresAt.size(), 2u);
  EXPECT_EQ(t.lastPurge, 100u);
  auth::purgeSessions(t, 159);
  EXPECT_EQ(t.expiresAt.count("b"), 1u);  // ended, but the last sweep is 59 s old
  EXPECT_EQ(t.lastPurge, 100u);
  auth::purgeSessions(t, 160);
  EXPECT_EQ(t.expiresAt.count("b"), 0u);
  EXPECT_EQ(t.expiresAt.count("c"), 1u);
  EXPECT_EQ(t.lastPurge, 160u);
}

TEST(Pins, SixZeroPaddedDigitsAndNoneWhenTheGeneratorFails) {
  sys::setRandomSourceForTests(source4217);
  EXPECT_EQ(auth::generatePin(), "004217");
  sys::setRandomSourceForTests(failingSource);
  EXPECT_EQ(auth::generatePin(), "");
  EXPECT_EQ(auth::createSession(), "");
  sys::setRandomSourceForTests(nullptr);
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(auth::isSixDigits(auth::generatePin()));

  EXPECT_FALSE(auth::isSixDigits("4217"));
  EXPECT_FALSE(auth::isSixDigits(" 12345"));
  EXPECT_FALSE(auth::isSixDigits("12345a"));
  EXPECT_FALSE(auth::isSixDigits("1234567"));
}

TEST(RandomHex, LowerCaseHighNibbleFirstAndEmptyWhenTheGeneratorFails) {
  sys::setRandomSourceForTests(countingSource);
  EXPECT_EQ(sys::randomHex(3), "a0a1a2");
  sys::setRandomSourceForTests(failingSource);
  std::string t = sys::randomHex(16);
  std::string token = auth::shareToken("a", false, 1);
  sys::setRandomSourceForTests(nullptr);
  EXPECT_EQ(t, "");
  EXPECT_EQ(token, "");
  EXPECT_NE(sys::randomHex(16), sys::randomHex(16));
}

TEST_F(Sessions, EitherPinMatchesExactly) {
  std::string run = auth::getRunPin();
  std::string master = run == "111111" ? "222222" : "111111";
  auth::storeMasterPin(master);
  EXPECT_TRUE(auth::pinMatches(run));
  EXPECT_TRUE(auth::pinMatches(master));
  EXPECT_FALSE(auth::pinMatches(run + " "));
  EXPECT_FALSE(auth::pinMatches(run.substr(0, 5)));
  EXPECT_FALSE(auth::pinMatches(""));
  auth::storeMasterPin("");
  EXPECT_FALSE(auth::pinMatches(""));  // an empty master PIN matches nothing
  EXPECT_FALSE(auth::pinMatches(master));
}

TEST(Cookies, OnlyTheExactNameFollowedByEqualsCounts) {
  EXPECT_EQ(auth::cookieValue("theme=dark; AUTH=t", "AUTH"), "t");
  EXPECT_EQ(auth::cookieValue("AUTH=t", "AUTH"), "t");
  EXPECT_EQ(auth::cookieValue(" ;; AUTH=t;x=1", "AUTH"), "t");
  EXPECT_EQ(auth::cookieValue("AUTH=first; AUTH=second", "AUTH"), "first");
  EXPECT_EQ(auth::cookieValue("AUTH=t ", "AUTH"), "t ");  // nothing trimmed
  EXPECT_EQ(auth::cookieValue("AUTH=a%20b", "AUTH"), "a%20b");  // nothing decoded
  EXPECT_EQ(auth::cookieValue(" AUTH =t", "AUTH"), "");
  EXPECT_EQ(auth::cookieValue("XAUTH=t", "AUTH"), "");
  EXPECT_EQ(auth::cookieValue("auth=t", "AUTH"), "");
  EXPECT_EQ(auth::cookieValue("AUTH", "AUTH"), "");
  EXPECT_EQ(auth::cookieValue("", "AUTH"), "");
  EXPECT_EQ(auth::cookieValue("a=AUTH=t", "AUTH"), "");
}

// The default program here is vantrel-https; the other cookie name is
// checked against the running vantrel-http.
TEST_F(Sessions, CookieIsNamedAndCheckedForTheProgram) {
  EXPECT_EQ(auth::sessionCookie("abc"), "AUTH=abc; Path=/; Max-Age=28800; SameSite=Lax; Secure; HttpOnly");
  std::string token = auth::createSession();
  EXPECT_TRUE(auth::isAuthenticated(withCookie("theme=dark; AUTH=" + token)));
  EXPECT_FALSE(auth::isAuthenticated(withCookie("VANTREL_PRO_AUTH=" + token)));
  EXPECT_FALSE(auth::isAuthenticated(withCookie("AUTH=")));
  EXPECT_FALSE(auth::isAuthenticated(withCookie("")));
}

}  // namespace
