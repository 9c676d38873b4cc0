// Many connection threads log in, check sessions and fail at once: no
// insertion or failure may be lost and nothing may deadlock.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/flavour.h"
#include "auth/bans.h"
#include "auth/login.h"
#include "auth/sessions.h"
#include "sys/clock.h"

namespace {

constexpr uint64_t kT = 1800000000;
constexpr int kLoginThreads = 8;
constexpr int kSessionsPerThread = 200;
constexpr int kHosts = 300;
const int kWalkStrides[] = {7, 11, 13};  // coprime with kHosts: each walk visits every host once

http::HttpRequest withToken(const std::string& token) {
  http::HttpRequest r;
  r.headers.push_back({"cookie", std::string(core::flavour().auth.cookieName) + "=" + token});
  return r;
}

std::string hostName(int i) { return "2001:db8:" + std::to_string(i) + "::1"; }

TEST(AuthConcurrency, ManyThreadsLoginCheckAndFailAtOnce) {
  sys::setNowForTests(kT);
  auth::resetSessions();
  const std::string runPin = auth::getRunPin();

  std::vector<std::vector<std::string>> tokens(kLoginThreads);
  std::atomic<int> rejected{0}, pinMisses{0}, bansStarted{0}, failersLeft{3};
  std::vector<std::thread> threads;
  for (int t = 0; t < kLoginThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kSessionsPerThread; ++i) {
        if (!auth::pinMatches(runPin)) ++pinMisses;
        std::string token = auth::createSession();
        if (!auth::isAuthenticated(withToken(token))) ++rejected;
        tokens[t].push_back(token);
      }
    });
  // Three threads each fail once for every host, each in its own order.
  for (int stride : kWalkStrides)
    threads.emplace_back([&, stride] {
      for (int k = 0; k < kHosts; ++k) {
        std::string h = hostName(k * stride % kHosts);
        auth::checkBan(h, kT);
        if (auth::recordFailure(h, kT)) ++bansStarted;
      }
      --failersLeft;
    });
  // Readers that only look, until the failing threads are done.
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      while (failersLeft.load() > 0) {
        auth::checkBan(hostName(0), kT);
        if (auth::isAuthenticated(withToken("0123456789abcdef0123456789abcdef"))) ++rejected;
      }
    });
  for (auto& th : threads) th.join();

  EXPECT_EQ(pinMisses.load(), 0);
  EXPECT_EQ(rejected.load(), 0);
  std::set<std::string> all;
  for (const auto& list : tokens)
    for (const auto& token : list) {
      all.insert(token);
      EXPECT_TRUE(auth::isAuthenticated(withToken(token)));
    }
  EXPECT_EQ(all.size(), (size_t)kLoginThreads * kSessionsPerThread);

  // Three failures per host: every host banned, and banned exactly once.
  EXPECT_EQ(bansStarted.load(), kHosts);
  for (int h = 0; h < kHosts; ++h) EXPECT_EQ(auth::checkBan(hostName(h), kT).remaining, 120u) << h;

  sys::setNowForTests(0);
}

}  // namespace
