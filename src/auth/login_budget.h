// Failed logins over all addresses together, against guessing from many
// addresses at once, which the per-address ban cannot see.
//
// Every PIN check is admitted here first and counts as a failure until a
// right PIN hands it back, so concurrent guesses cannot slip past the count.
// When 10 admitted checks lie within the last 10 minutes, the next attempt
// starts a pause in which PINs are not checked: 30 s, doubled for each pause
// that begins within 10 minutes of the previous one's end, at most 32 min.
// The 10-minute window holds after a pause too, so no more than 10 ordinary
// checks fall in any 10 minutes: 60 an hour when paced, 30 in the first hour
// and 10 every 32 min after when hammered.
//
// So that the owner can still log in during an attack, two kinds of address
// have their PIN checked in a pause, both counted like any other check:
// - one the owner logged in from before, with no wrong PIN since. Each
//   right PIN lends it one check (see takeStanding);
// - one with nothing on record, but only one such in any 10 minutes, since
//   an attacker can always bring new addresses. Add these to the 10 and at
//   most 11 checks fall in any 10 minutes.
// A wrong PIN in a pause is answered like the pause, and puts the address on
// record, so it gets no second try. The table sits behind budgetMutex.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

#include "auth/bans.h"

namespace auth {

constexpr size_t kBudgetChecks = 10;
constexpr uint64_t kBudgetWindowSeconds = 600;
constexpr uint64_t kFirstPauseSeconds = 30;
constexpr uint64_t kLongestPauseSeconds = 1920;

struct LoginBudget {
  std::deque<uint64_t> checks;          // admission times within the window, oldest first
  std::deque<uint64_t> unknownInPause;  // those of addresses with nothing on record let through a pause
  uint64_t pausedUntil = 0;             // paused while this is later than now
  uint64_t pauseSeconds = 0;            // length of the latest pause; 0 before the first
};

enum class Admission { Check, CheckThroughPause, Refuse };

struct LoginTry {
  Admission admission = Admission::Check;
  bool unknownAddress = false;  // through the pause as an address with nothing on record
  uint64_t at = 0;              // the admission time, to hand the check back
  uint64_t remaining = 0;       // seconds of the pause; 0 when not paused
  uint64_t pauseStarted = 0;    // length of the pause this attempt began, else 0
};

LoginTry admitTry(LoginBudget& b, AddressStanding standing, uint64_t now);
// A right PIN: the check was no failure after all.
void handBackTry(LoginBudget& b, const LoginTry& t);

// The same on the process-wide budget.
LoginTry admitLoginTry(AddressStanding standing, uint64_t now);
void handBackLoginTry(const LoginTry& t);
// Forgets every check and pause; for tests.
void resetLoginBudget();

}  // namespace auth
