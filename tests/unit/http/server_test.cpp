#include "app/routes.h"
#include "http/server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/event_log.h"
#include "support/net_helpers.h"

namespace {

bool running() { return http::serverRunning(); }
bool failed() { return http::lastStartFailure() != 0; }

int countLines(const std::string& text) {
  std::string log = core::snapshotLog();
  int n = 0;
  for (size_t p = 0; (p = log.find(text, p)) != std::string::npos; ++p) ++n;
  return n;
}

class Server : public ::testing::Test {
 protected:
  void SetUp() override { core::clearLog(); }
  void TearDown() override {
    http::stopServer();
    http::waitForConnections(5000);  // late log lines must not reach the next test
    http::setServerPortOverride(0);
  }
};

TEST_F(Server, SecondStartIsANoOpAndStopEndsTheListener) {
  int port = test::freePort();
  http::setServerPortOverride(port);
  http::startServer(app::routes());
  http::startServer(app::routes());  // while starting
  ASSERT_TRUE(test::waitUntil(running, 5000));
  http::startServer(app::routes());  // while running
  EXPECT_EQ(http::serverPort(), port);

  std::string answer = test::exchange(port, "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_NE(answer.find("{\"running\":true,\"port\":" + std::to_string(port) + "}"), std::string::npos) << answer;

  auto before = std::chrono::steady_clock::now();
  http::stopServer();
  auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, std::chrono::seconds(2));  // the accept loop polls; no hang
  EXPECT_FALSE(http::serverRunning());
  EXPECT_EQ(http::serverPort(), 0);
  EXPECT_EQ(countLines("SERVER  listening (HTTPS) on port " + std::to_string(port)), 1);
  EXPECT_EQ(countLines("SERVER  stopping"), 1);

  http::stopServer();  // while stopped
  EXPECT_EQ(countLines("SERVER  stopping"), 1);
}

bool noConnectionServed() { return http::activeConnectionCount() == 0; }

TEST_F(Server, ABurstWithSilentClientsAmongItIsServedAndTheSilentOnesHoldNoThread) {
  // Requests queued behind each other, silent clients among them: threads
  // that take the next client from the backlog themselves serve the
  // requests and leave the silent ones to the listener, which hands one
  // over once it speaks.
  int port = test::freePort();
  http::setServerPortOverride(port);
  http::startServer(app::routes());
  ASSERT_TRUE(test::waitUntil(running, 5000));
  const std::string request = "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::vector<sys::SocketHandle> asking, silent;
  for (int i = 0; i < 60; i++) {
    sys::SocketHandle s = test::connectLoopback(port);
    ASSERT_NE(s, sys::kNoSocket);
    if (i % 3 == 2) {
      silent.push_back(s);
      continue;
    }
    test::sendAllBytes(s, request);
    asking.push_back(s);
  }
  for (sys::SocketHandle s : asking) {
    EXPECT_EQ(test::readUntilClosed(s).compare(0, 15, "HTTP/1.1 200 OK"), 0);
    sys::closeSocket(s);
  }
  EXPECT_TRUE(test::waitUntil(noConnectionServed, 5000)) << http::activeConnectionCount();
  test::sendAllBytes(silent.back(), request);
  EXPECT_EQ(test::readUntilClosed(silent.back()).compare(0, 15, "HTTP/1.1 200 OK"), 0);
  for (sys::SocketHandle s : silent) sys::closeSocket(s);
}

TEST_F(Server, FailedStartIsLoggedAndALaterStartWorks) {
  int port = 0;
  sys::SocketHandle blocker = test::occupyPort(port);
  http::setServerPortOverride(port);
  http::startServer(app::routes());
  ASSERT_TRUE(test::waitUntil(failed, 5000));
  EXPECT_EQ(http::lastStartFailure(), http::kStartBindFailed);
  EXPECT_FALSE(http::serverRunning());
  EXPECT_EQ(countLines("ERROR   server failed to start (code -3)"), 1);
  sys::closeSocket(blocker);

  http::startServer(app::routes());
  ASSERT_TRUE(test::waitUntil(running, 5000));
  EXPECT_EQ(http::lastStartFailure(), 0);
  http::stopServer();
  EXPECT_FALSE(http::serverRunning());
}

TEST_F(Server, StopAfterAFailedStartReturnsAtOnce) {
  int port = 0;
  sys::SocketHandle blocker = test::occupyPort(port);
  http::setServerPortOverride(port);
  http::startServer(app::routes());
  ASSERT_TRUE(test::waitUntil(failed, 5000));
  http::stopServer();  // reaps the ended listener; the program can end cleanly
  EXPECT_EQ(countLines("SERVER  stopping"), 0);
  sys::closeSocket(blocker);
}

}  // namespace
