#include "support/net_helpers.h"

#include <gtest/gtest.h>

#include "http/server.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace test {

namespace {
// Connection threads are detached; the test program must not end (and
// destroy the tables they use) while one still runs.
struct DrainConnections : ::testing::Environment {
  void TearDown() override { http::waitForConnections(5000); }
};
[[maybe_unused]] ::testing::Environment* const drainConnections =
    ::testing::AddGlobalTestEnvironment(new DrainConnections);
}  // namespace

int freePort() {
  int port = 0;
  sys::SocketHandle s = occupyPort(port);
  sys::closeSocket(s);
  return port;
}

sys::SocketHandle occupyPort(int& port) {
  sys::netStartup();
  sys::SocketHandle s = sys::openStreamSocket6();
  sys::setDualStack(s);
  sys::bindAny6(s, port);
  sys::startListening(s);
  port = sys::localPort(s);
  return s;
}

bool waitUntil(bool (*cond)(), int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

sys::SocketHandle connectLoopback(int port) {
  sys::netStartup();
  auto s = (sys::SocketHandle)::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons((unsigned short)port);
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::connect(s, (sockaddr*)&a, sizeof a) == 0) return s;
  sys::closeSocket(s);
  return sys::kNoSocket;
}

std::string exchange(int port, const std::string& request) {
  sys::SocketHandle s = connectLoopback(port);
  std::string out;
  if (s != sys::kNoSocket) {
    sys::sendSome(s, request.data(), request.size());
    out = readUntilClosed(s);
  }
  sys::closeSocket(s);
  return out;
}

bool connectedPair(sys::SocketHandle& server, sys::SocketHandle& client, sys::PeerAddress* peer) {
  int port = 0;
  sys::SocketHandle listener = occupyPort(port);
  client = (sys::SocketHandle)::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons((unsigned short)port);
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  sys::PeerAddress local;
  server = sys::kNoSocket;
  if (::connect(client, (sockaddr*)&a, sizeof a) == 0 && sys::waitReadable(listener, 5000) == 1)
    server = sys::acceptClient(listener, peer ? *peer : local, true);
  sys::closeSocket(listener);
  if (server == sys::kNoSocket) {
    sys::closeSocket(client);
    client = sys::kNoSocket;
    return false;
  }
  return true;
}

bool sendAllBytes(sys::SocketHandle s, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    long n = sys::sendSome(s, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += (size_t)n;
  }
  return true;
}

std::string readUntilClosed(sys::SocketHandle s) {
  std::string out;
  char buf[4096];
  long n;
  while ((n = sys::recvSome(s, buf, sizeof buf)) > 0) out.append(buf, (size_t)n);
  return out;
}

}  // namespace test
