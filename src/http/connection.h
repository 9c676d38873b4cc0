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
  // The last read took all that had arrived: the receive queue was empty then.
  bool readDrained = false;
  bool timeoutsPreset = false;  // the socket's read and write time-outs are set already
  // -1: the handshake waits for the client as long as the transport lets
  // it. Else how long a handshake step waits before it is given up as
  // Parked (0: it takes only what has arrived).
  int patienceMs = -1;
  // The listener's: the handshake stops where its costly part (the key
  // exchange and signature) would begin, for a connection thread to go on.
  bool onListener = false;
};

enum class Opened { Ready, Failed, Parked, ForThread };

constexpr uint64_t kMaxWritePiece = 1048576;  // bytes handed to one write call
constexpr int kWriteWaitMs = 30000;           // a write blocked this long fails
constexpr int kIdleReadMs = 60000;            // a read idle this long fails
// kIdleReadMs, or the shorter time VANTREL_IDLE_READ_MS names, so that tests
// see a stalled client given up without waiting a minute.
int idleReadMs();

// Per server start: makes the TLS context (vantrel-https); true when ready.
bool prepareTransport();
// Per connection: the TLS handshake (vantrel-https), begun, or continued
// with the session in c.tls; once it is done, again and again Ready.
// Failed: the caller closes the connection. Parked (only with patienceMs
// >= 0): the client is slow to answer; the connection, its session still in
// c.tls, is to wait without a thread and come back here once bytes arrive.
// ForThread (only with onListener): the client's hello has arrived and the
// rest is work for a connection thread.
Opened openConnection(Connection& c);
// Whether accepted sockets are to block: plain HTTP reads and writes on the
// connection's thread with the socket's time-outs; the TLS session never
// blocks, every wait happens outside it.
bool socketsBlock();
// Frees the session of a waiting connection that is given up (the socket is
// the caller's to close).
void releaseSession(void* session);
bool sendAll(Connection& c, const void* data, uint64_t size);
inline bool sendAll(Connection& c, const std::string& bytes) { return sendAll(c, bytes.data(), bytes.size()); }
// One read; bytes read, or 0 or less at end of stream, error or idle time-out.
int readSome(Connection& c, void* buffer, int capacity);
// One read that waits at most waitMs (0: takes what has arrived): bytes
// read, kNothingYet when none came in time (the connection stays usable), 0
// at end of stream or on error. Lets a long read look up between reads
// whether it should stop.
constexpr int kNothingYet = -1;
int readWithin(Connection& c, void* buffer, int capacity, int waitMs);
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
// A request known to be complete, with nothing unread, is closed at once;
// drained: the read that completed it left the receive queue empty, so
// there is nothing to look for.
void lingeringClose(sys::SocketHandle s, bool requestComplete, bool drained);
constexpr int kLingerMs = 2000;
constexpr uint64_t kLingerBytes = 4 * 1048576;

// Reads until n bytes have arrived or a read ends the stream; the result
// holds what arrived. Callers bound n.
std::string readExact(Connection& c, uint64_t n);

}  // namespace http
