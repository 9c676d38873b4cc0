// The plain TCP transport of vantrel-http.
#include "http/connection.h"

namespace http {

bool prepareTransport() { return true; }

// Reads and writes block on the connection's own thread, up to these times.
Opened openConnection(Connection& c) {
  if (!c.timeoutsPreset) sys::setIoTimeouts(c.socket, idleReadMs(), kWriteWaitMs);
  return Opened::Ready;
}

bool helloHasArrived(sys::SocketHandle) { return false; }

bool readyForThread(sys::SocketHandle) { return true; }

void releaseSession(void*) {}

bool sendAll(Connection& c, const void* data, uint64_t size) {
  const char* p = (const char*)data;
  while (size > 0) {
    size_t piece = size > kMaxWritePiece ? (size_t)kMaxWritePiece : (size_t)size;
    long r = sys::sendSome(c.socket, p, piece);
    if (r > 0) {
      p += r;
      size -= (uint64_t)r;
      continue;
    }
    if (r == 0 || !sys::lastErrorIsRetry()) return false;
    if (sys::waitWritable(c.socket, kWriteWaitMs) != 1) return false;
  }
  return true;
}

int readSome(Connection& c, void* buffer, int capacity) {
  return (int)sys::recvSome(c.socket, buffer, (size_t)capacity);
}

int readWithin(Connection& c, void* buffer, int capacity, int waitMs) {
  long r = sys::recvNow(c.socket, buffer, (size_t)capacity);
  if (r < 0 && sys::lastErrorIsRetry()) {
    int ready = waitMs > 0 ? sys::waitReadable(c.socket, waitMs) : 0;
    if (ready == 0) return kNothingYet;
    if (ready < 0) return 0;
    r = sys::recvNow(c.socket, buffer, (size_t)capacity);
    if (r < 0 && sys::lastErrorIsRetry()) return kNothingYet;
  }
  return r < 0 ? 0 : (int)r;
}

void closeConnection(Connection& c) {
  if (c.closed) return;
  c.closed = true;
  lingeringClose(c.socket, c.requestComplete);
  c.socket = sys::kNoSocket;
}

void releaseTransport() {}

bool transportReady() { return false; }

}  // namespace http
