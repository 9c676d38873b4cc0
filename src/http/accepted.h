// A connection from its accept until its request head has arrived: on the
// listener, on a connection thread, or between the two, what has been read
// of it goes with it.
#pragma once
#include <cstdint>
#include <string>

#include "http/connection.h"
#include "http/request.h"
#include "sys/net.h"

namespace http {

struct Accepted {
  sys::SocketHandle socket = sys::kNoSocket;
  sys::PeerAddress peer;
  std::string addressKey;   // sys::addressKey of peer
  void* session = nullptr;  // the TLS session, once begun
  bool opened = false;      // the handshake is done
  PendingHead head;
  int64_t acceptedAtMs = 0;  // steady clock: when it was taken from the backlog
  int64_t deadlineMs = 0;   // steady clock: the handshake and head are due by then
  bool timeoutsPreset = false;  // the socket has its read and write time-outs from the listener
};

enum class Progress {
  Head,       // the whole head has arrived
  ForThread,  // the handshake has work for a connection thread (see Opened::ForThread)
  Waiting,    // the client has gone quiet: the connection waits without a thread
  Failed,     // to be closed
};
// Takes the connection as far as what has arrived allows: the handshake,
// then the head, each waiting at most c.patienceMs (see openConnection and
// gatherHead). c is the connection's transport state, c.tls kept in
// a.session.
Progress readUpToHead(Connection& c, Accepted& a);

// What a client whose handshake (TLS) or head (plain HTTP) has not begun
// has sent, looked at without waiting. Plain HTTP reads it into a.head, so
// the look is the head's first read; TLS only peeks, leaving the bytes to
// the session.
enum class Arrival {
  Closed,   // gone, or failed, without a byte
  Nothing,  // nothing yet
  Some,     // its first bytes
  Whole,    // its whole head (plain HTTP) or its whole TLS hello
};
Arrival lookAtClient(Accepted& a);
// Whether a connection thread is to begin a client that has sent this much
// now: plain HTTP once any bytes are here (the thread reads the rest of the
// head with patience); TLS once the whole hello is.
bool readyForThread(Arrival got);

// Closes a connection that never reached a thread, at once: nothing was
// answered, so there is nothing to linger for.
void dropAccepted(Accepted& a);

}  // namespace http
