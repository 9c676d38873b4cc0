#include "auth/login_budget.h"

#include <algorithm>
#include <mutex>

namespace auth {

namespace {

std::mutex budgetMutex;
LoginBudget budget;

void forgetBefore(std::deque<uint64_t>& times, uint64_t now) {
  while (!times.empty() && times.front() + kBudgetWindowSeconds <= now) times.pop_front();
}

void removeOne(std::deque<uint64_t>& times, uint64_t at) {
  auto it = std::find(times.begin(), times.end(), at);
  if (it != times.end()) times.erase(it);
}

}  // namespace

LoginTry admitTry(LoginBudget& b, AddressStanding standing, uint64_t now) {
  forgetBefore(b.checks, now);
  forgetBefore(b.unknownInPause, now);
  LoginTry t;
  t.at = now;
  if (now >= b.pausedUntil && b.checks.size() >= kBudgetChecks) {
    bool soonAfterThePrevious = b.pauseSeconds != 0 && now < b.pausedUntil + kBudgetWindowSeconds;
    b.pauseSeconds = soonAfterThePrevious ? std::min(2 * b.pauseSeconds, kLongestPauseSeconds) : kFirstPauseSeconds;
    b.pausedUntil = now + b.pauseSeconds;
    t.pauseStarted = b.pauseSeconds;
  }
  if (now < b.pausedUntil) {
    t.remaining = b.pausedUntil - now;
    t.unknownAddress = standing == AddressStanding::Unknown;
    if (standing == AddressStanding::Failed || (t.unknownAddress && !b.unknownInPause.empty())) {
      t.admission = Admission::Refuse;
      return t;
    }
    t.admission = Admission::CheckThroughPause;
    if (t.unknownAddress) b.unknownInPause.push_back(now);
  }
  b.checks.push_back(now);
  return t;
}

void handBackTry(LoginBudget& b, const LoginTry& t) {
  if (t.admission == Admission::Refuse) return;
  removeOne(b.checks, t.at);
  if (t.admission == Admission::CheckThroughPause && t.unknownAddress) removeOne(b.unknownInPause, t.at);
}

LoginTry admitLoginTry(AddressStanding standing, uint64_t now) {
  std::lock_guard<std::mutex> lock(budgetMutex);
  return admitTry(budget, standing, now);
}

void handBackLoginTry(const LoginTry& t) {
  std::lock_guard<std::mutex> lock(budgetMutex);
  handBackTry(budget, t);
}

void resetLoginBudget() {
  std::lock_guard<std::mutex> lock(budgetMutex);
  budget = LoginBudget{};
}

}  // namespace auth
