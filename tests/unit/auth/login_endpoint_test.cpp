// The login endpoints over a real in-process server with the clock held by
// the test, for the parts of the ban that take minutes of real time.
#include <gtest/gtest.h>

#include <string>

#include "core/event_log.h"
#include "auth/bans.h"
#include "auth/login_budget.h"
#include "auth/sessions.h"
#include "app/routes.h"
#include "http/server.h"
#include "support/net_helpers.h"
#include "sys/clock.h"

namespace {

constexpr uint64_t kT = 1750000000;
const std::string kLoopbackHost = "::ffff:127.0.0.1";

bool running() { return http::serverRunning(); }

class LoginEndpoints : public ::testing::Test {
 protected:
  int port = 0;
  void SetUp() override {
    sys::setNowForTests(kT);
    auth::resetSessions();
    auth::storeMasterPin("");
    auth::clearFailures(kLoopbackHost);
    auth::resetLoginBudget();
    core::clearLog();
    port = test::freePort();
    http::setServerPortOverride(port);
    http::startServer(app::routes());
    ASSERT_TRUE(test::waitUntil(running, 5000));
  }
  void TearDown() override {
    http::stopServer();
    http::waitForConnections(5000);  // late log lines must not reach the next test
    http::setServerPortOverride(0);
    auth::clearFailures(kLoopbackHost);
    sys::setNowForTests(0);
  }

  std::string post(const std::string& code, const std::string& cookie = {}) {
    std::string body = "{\"code\":\"" + code + "\"}";
    return test::exchange(port, "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n" + cookie + "\r\n" + body);
  }
  std::string get(const std::string& target, const std::string& cookie = {}) {
    return test::exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + cookie + "\r\n");
  }
  std::string wrongPin() { return auth::getRunPin() == "000000" ? "111111" : "000000"; }
};

std::string statusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

std::string cookieHeader(const std::string& answer) {
  size_t p = answer.find("Set-Cookie: AUTH=");
  if (p == std::string::npos) return {};
  size_t start = p + 12, end = answer.find(';', start);
  return "Cookie: " + answer.substr(start, end - start) + "\r\n";
}

bool logged(const std::string& message) { return core::snapshotLog().find("  " + message + "\r\n") != std::string::npos; }

TEST_F(LoginEndpoints, BanTimelineCountsWrongPinsAndRefusesEvenTheRightOne) {
  EXPECT_EQ(statusLine(post(wrongPin())), "HTTP/1.1 401 Error");
  EXPECT_EQ(statusLine(get("/auto?pin=" + wrongPin())), "HTTP/1.1 401 Error");
  std::string third = post(wrongPin());
  EXPECT_EQ(statusLine(third), "HTTP/1.1 429 Error");
  EXPECT_NE(third.find("{\"ok\":false,\"error\":\"Too many attempts. IP blocked for 120 seconds.\"}"),
            std::string::npos);
  EXPECT_TRUE(logged("AUTH    >>>>>>  ALERT <<<<<<<  failed 3x => IP banned 2 min: " + kLoopbackHost));

  sys::setNowForTests(kT + 30);
  std::string refused = post(auth::getRunPin());
  EXPECT_EQ(statusLine(refused), "HTTP/1.1 429 Error");
  EXPECT_NE(refused.find("IP blocked for 90 seconds."), std::string::npos);
  EXPECT_EQ(cookieHeader(refused), "");
  EXPECT_TRUE(logged("AUTH    blocked IP " + kLoopbackHost + " (90s remaining)"));
  std::string autoRefused = get("/auto?pin=" + auth::getRunPin());
  EXPECT_EQ(statusLine(autoRefused), "HTTP/1.1 429 Error");
  EXPECT_NE(autoRefused.find("Too many attempts. IP blocked for 90 seconds."), std::string::npos);
  EXPECT_TRUE(logged("AUTH    /auto blocked IP " + kLoopbackHost + " (90s remaining)"));

  // 121 s after the ban began: a wrong PIN is the first of a new series.
  sys::setNowForTests(kT + 121);
  EXPECT_EQ(statusLine(post(wrongPin())), "HTTP/1.1 401 Error");
  EXPECT_EQ(statusLine(post(wrongPin())), "HTTP/1.1 401 Error");
  std::string ok = post(auth::getRunPin());
  EXPECT_EQ(statusLine(ok), "HTTP/1.1 200 OK");
  EXPECT_NE(cookieHeader(ok), "");
  // The right PIN cleared the count: one more wrong PIN is no ban.
  EXPECT_EQ(statusLine(post(wrongPin())), "HTTP/1.1 401 Error");
}

}  // namespace
