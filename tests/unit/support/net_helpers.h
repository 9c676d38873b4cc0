// Loopback helpers for tests that run the server in-process.
#pragma once
#include <string>

#include "sys/net.h"

namespace test {

// A port that was free a moment ago.
int freePort();
// A listening socket that holds a port (dual stack); the caller closes it.
sys::SocketHandle occupyPort(int& port);
// Waits up to timeoutMs for cond to hold, polling.
bool waitUntil(bool (*cond)(), int timeoutMs);
// Sends request to 127.0.0.1:port over plain TCP and returns everything the
// server answers until it closes.
std::string exchange(int port, const std::string& request);
// A blocking client socket connected to 127.0.0.1:port (kNoSocket on failure).
sys::SocketHandle connectLoopback(int port);

// A connected loopback TCP pair: server is the accepted end (as the listener
// hands it to a connection thread, peer filled the same way), client the
// connecting end. False when the pair cannot be made.
bool connectedPair(sys::SocketHandle& server, sys::SocketHandle& client, sys::PeerAddress* peer = nullptr);
// Writes all bytes; false when a write fails.
bool sendAllBytes(sys::SocketHandle s, const std::string& bytes);
// Everything that arrives until the peer closes or a read fails.
std::string readUntilClosed(sys::SocketHandle s);

}  // namespace test
