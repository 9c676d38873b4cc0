// A Connection whose far end the test holds: the server side is a real
// accepted loopback socket driven by the program's own transport.
#pragma once
#include <string>

#include "http/connection.h"
#include "support/net_helpers.h"

namespace test {

struct Pipe {
  http::Connection c;
  sys::SocketHandle client = sys::kNoSocket;
  sys::PeerAddress peer;

  // A read the code under test should not make fails after ioTimeoutMs
  // instead of hanging the test.
  explicit Pipe(int ioTimeoutMs = 10000) {
    sys::SocketHandle s;
    if (connectedPair(s, client, &peer)) {
      c.socket = s;
      sys::setIoTimeouts(s, ioTimeoutMs, ioTimeoutMs);
    }
  }
  ~Pipe() {
    http::closeConnection(c);
    sys::closeSocket(client);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool ok() const { return c.socket != sys::kNoSocket; }
  bool send(const std::string& bytes) { return sendAllBytes(client, bytes); }
  // The client goes away: the server's next read sees the end of the stream.
  void closeClient() {
    sys::closeSocket(client);
    client = sys::kNoSocket;
  }
  // Closes the server side and returns everything the client received.
  std::string serverAnswer() {
    http::closeConnection(c);
    return readUntilClosed(client);
  }
};

}  // namespace test
