#include "auth/login_budget.h"

#include <gtest/gtest.h>

namespace {

using auth::Admission;
constexpr auto kFailed = auth::AddressStanding::Failed, kUnknown = auth::AddressStanding::Unknown;
constexpr uint64_t kT = 1700000000;

// Ten failed checks at now; the pause begun by the attempt after them.
uint64_t spendAll(auth::LoginBudget& b, uint64_t now) {
  for (int i = 0; i < 10; ++i) EXPECT_EQ(auth::admitTry(b, kFailed, now).admission, Admission::Check) << now;
  auth::LoginTry t = auth::admitTry(b, kFailed, now);
  EXPECT_EQ(t.admission, Admission::Refuse);
  return t.pauseStarted;
}

TEST(LoginBudget, PausesDoubleWhileFailuresGoOnAndStartOverAfterTenQuietMinutes) {
  auth::LoginBudget b;
  for (int i = 0; i < 30; ++i) auth::handBackTry(b, auth::admitTry(b, kUnknown, kT));  // right PINs
  EXPECT_EQ(spendAll(b, kT), 30u);
  EXPECT_EQ(auth::admitTry(b, kFailed, kT + 29).remaining, 1u);
  // The ten still lie within the window: each pause's end begins the next.
  uint64_t now = kT + 30;
  for (uint64_t length : {60, 120, 240, 480}) {
    EXPECT_EQ(auth::admitTry(b, kFailed, now).pauseStarted, length);
    now += length;
  }
  for (uint64_t length : {960, 1920, 1920}) {  // past the window: ten more each time
    EXPECT_EQ(spendAll(b, now), length);
    now += length;
  }
  EXPECT_EQ(spendAll(b, now + 600), 30u);
}

TEST(LoginBudget, InAPauseTheOwnersAddressesAndOneNewAddressPerTenMinutesAreChecked) {
  auth::LoginBudget b;
  spendAll(b, kT);
  auth::LoginTry owner = auth::admitTry(b, kUnknown, kT + 1);
  EXPECT_EQ(owner.admission, Admission::CheckThroughPause);
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 2).admission, Admission::Refuse);
  EXPECT_EQ(auth::admitTry(b, auth::AddressStanding::LoggedIn, kT + 2).admission, Admission::CheckThroughPause);
  auth::handBackTry(b, owner);  // a right PIN leaves the way open
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 3).admission, Admission::CheckThroughPause);
  // That one failed: closed for ten minutes, over the next pause too.
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 31).admission, Admission::Refuse);
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 603).admission, Admission::Check);
}

}  // namespace
