// One accepted client connection and the transport operations on it. Each
// program links one transport: transport_plain.cpp (vantrel-http) or
// transport_tls.cpp (vantrel-https); the rest of the server only sees this.
#pragma once
#include <cstdint>
#include <string>

#include "sys/net.h"

namespace http {

struct Connection {
  sys::SocketHandle socket = sys::kNoSocket;
  void* tls = nullptr;  // the TLS session in vantrel-https
  bool closed = false;
  bool continueSent = false;  // the interim "100 Continue" went out
  bool requestComplete = false;  // nothing more of the request is to come
  bool mayPark = false;  // a slow handshake may be handed back to the listener
};

enum class Opened { Ready, Failed, Parked };
// A handshake step whose client has not answered within this time is parked.
constexpr int kHandshakePatienceMs = 10;

constexpr uint64_t kMaxWritePiece = 1048576;  // bytes handed to one write call
constexpr int kWriteWaitMs = 30000;           // a write blocked this long fails
constexpr int kIdleReadMs = 60000;            // a read idle this long fails

// Per server start: makes the TLS context (vantrel-https); true when ready.
bool prepareTransport();
// Per connection: the TLS handshake (vantrel-https), begun, or continued
// with the session in c.tls. Failed: the connection is already closed.
// Parked (only with mayPark): the client is slow to answer; the connection,
// its session still in c.tls, is to wait without a thread and come back here
// once bytes arrive.
Opened openConnection(Connection& c);
// Frees the session of a parked connection that is given up (the socket is
// the caller's to close).
void releaseSession(void* session);
bool sendAll(Connection& c, const void* data, uint64_t size);
inline bool sendAll(Connection& c, const std::string& bytes) { return sendAll(c, bytes.data(), bytes.size()); }
// One read; bytes read, or 0 or less at end of stream, error or idle time-out.
int readSome(Connection& c, void* buffer, int capacity);
// One read that waits at most waitMs for bytes to arrive: bytes read,
// kNothingYet when none came in time (the connection stays usable), or 0 or
// less at end of stream or on error. Lets a long body read look up between
// reads whether it should stop.
constexpr int kNothingYet = -2;
int readSomeWithin(Connection& c, void* buffer, int capacity, int waitMs);
// Orderly close; safe to call twice, only the first call acts.
void closeConnection(Connection& c);
// At program exit: frees the TLS context.
void releaseTransport();
// Whether the server's TLS context exists (always false in vantrel-http).
bool transportReady();

// Closes the socket after the answer has left: ends the sending direction,
// then reads and discards what the client still sends (a refused upload's
// body, say) for a bounded time, so that closing with unread bytes does not
// reset the connection and destroy the answer before the client reads it.
// A request known to be complete, with nothing unread, is closed at once.
void lingeringClose(sys::SocketHandle s, bool requestComplete);
constexpr int kLingerMs = 2000;
constexpr uint64_t kLingerBytes = 4 * 1048576;

// Reads until n bytes have arrived or a read ends the stream; the result
// holds what arrived. Callers bound n.
std::string readExact(Connection& c, uint64_t n);

}  // namespace http
