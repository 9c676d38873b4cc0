// The connection threads: each runs one connection at a time from its first
// bytes to its close. A thread that has finished waits a while for the next
// connection before it ends, so that under load no request pays for starting
// a thread; their number is capped.
#pragma once
#include "sys/net.h"

namespace http {

constexpr int kMaxConnectionThreads = 512;
constexpr int kThreadLingerMs = 30000;

// Hands a connection whose first (or next) bytes have arrived to a waiting
// thread, else to a new one under the cap; session is a parked connection's
// handshake, else null. False when every thread is busy and the cap is
// reached; the caller keeps the connection and tries again later. When no
// thread can be made the connection is closed (dropped) and true returned.
bool dispatchConnection(sys::SocketHandle socket, const sys::PeerAddress& peer, void* session);
// Whether dispatchConnection would take a connection now.
bool connectionThreadFree();

// Threads running a connection now.
int busyConnectionThreads();
// All connection threads, busy and waiting.
int connectionThreadCount();

// Ends the threads that wait for work (at a server stop); busy ones go on
// and end when their connection has.
void dismissWaitingThreads();

}  // namespace http
