#include "auth/login_budget.h"

#include <gtest/gtest.h>

namespace {

using auth::Admission;
constexpr auto kFailed = auth::AddressStanding::Failed;
constexpr auto kUnknown = auth::AddressStanding::Unknown;

constexpr uint64_t kT = 1700000000;

// Ten failed checks at now, then the attempt that finds the budget spent.
auth::LoginTry spendAll(auth::LoginBudget& b, uint64_t now) {
  for (int i = 0; i < 10; ++i) EXPECT_EQ(auth::admitTry(b, kFailed, now).admission, Admission::Check) << now;
  return auth::admitTry(b, kFailed, now);
}

TEST(LoginBudget, PausesDoubleWhileTheFailuresGoOnAndStartOverAfterTenQuietMinutes) {
  auth::LoginBudget b;
  auth::LoginTry t = spendAll(b, kT);
  EXPECT_EQ(t.admission, Admission::Refuse);
  EXPECT_EQ(t.pauseStarted, 30u);
  t = auth::admitTry(b, kFailed, kT + 29);
  EXPECT_EQ(t.admission, Admission::Refuse);
  EXPECT_EQ(t.remaining, 1u);
  EXPECT_EQ(t.pauseStarted, 0u);

  // The ten still lie within the window: each pause's end begins the next.
  uint64_t now = kT + 30;
  for (uint64_t length : {60, 120, 240, 480}) {
    t = auth::admitTry(b, kFailed, now);
    EXPECT_EQ(t.admission, Admission::Refuse);
    EXPECT_EQ(t.pauseStarted, length);
    now += length;
  }
  // Past the window, ten more checks; the pauses go on growing, up to 32 min.
  for (uint64_t length : {960, 1920, 1920}) {
    t = spendAll(b, now);
    EXPECT_EQ(t.pauseStarted, length);
    now += length;
  }
  now += 600;
  EXPECT_EQ(spendAll(b, now).pauseStarted, 30u);
}

TEST(LoginBudget, RightPinsHandBackAndOwnersAndOneNewAddressPerTenMinutesAreChecked) {
  auth::LoginBudget b;
  for (int i = 0; i < 50; ++i) auth::handBackTry(b, auth::admitTry(b, kUnknown, kT));
  for (int i = 0; i < 10; ++i) auth::admitTry(b, kFailed, kT);

  // The attempt that begins the pause may itself go through.
  auth::LoginTry owner = auth::admitTry(b, kUnknown, kT + 1);
  EXPECT_EQ(owner.admission, Admission::CheckThroughPause);
  EXPECT_EQ(owner.pauseStarted, 30u);
  EXPECT_EQ(owner.remaining, 30u);
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 2).admission, Admission::Refuse);
  EXPECT_EQ(auth::admitTry(b, kFailed, kT + 2).admission, Admission::Refuse);
  EXPECT_EQ(auth::admitTry(b, auth::AddressStanding::LoggedIn, kT + 2).admission, Admission::CheckThroughPause);

  auth::handBackTry(b, owner);  // the right PIN
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 3).admission, Admission::CheckThroughPause);
  // That one failed: the way through stays closed for ten minutes, over the next pause too.
  auth::LoginTry t = auth::admitTry(b, kUnknown, kT + 31);
  EXPECT_EQ(t.pauseStarted, 60u);
  EXPECT_EQ(t.admission, Admission::Refuse);
  EXPECT_EQ(auth::admitTry(b, kUnknown, kT + 603).admission, Admission::Check);
}

}  // namespace
