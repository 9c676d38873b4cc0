// The plain TCP transport of vantrel-http.
#include "http/accepted.h"
#include "http/connection.h"

namespace http {

bool prepareTransport() { return true; }

// Reads and writes block on the connection's own thread, up to these times.
Opened openConnection(Connection& c) {
  if (!c.timeoutsPreset) sys::setIoTimeouts(c.socket, idleReadMs(), kWriteWaitMs);
  return Opened::Ready;
}

bool socketsBlock() { return true; }

Arrival lookAtClient(Accepted& a) {
  Connection c;
  c.socket = a.socket;
  size_t before = a.head.bytes.size();
  HeadRead got = gatherHead(c, a.head, 0);
  if (got == HeadRead::Complete) return Arrival::Whole;
  // Bytes and then the end of the stream: the thread's next read fails it.
  if (a.head.bytes.size() > before) return Arrival::Some;
  return got == HeadRead::Failed ? Arrival::Closed : Arrival::Nothing;
}

bool readyForThread(Arrival got) { return got == Arrival::Some || got == Arrival::Whole; }

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

// A read that returns less than was asked for has emptied the receive queue.
int readSome(Connection& c, void* buffer, int capacity) {
  long r = sys::recvSome(c.socket, buffer, (size_t)capacity);
  c.readDrained = r > 0 && r < capacity;
  return (int)r;
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
  c.readDrained = r > 0 && r < capacity;
  return r < 0 ? 0 : (int)r;
}

void closeConnection(Connection& c) {
  if (c.closed) return;
  c.closed = true;
  lingeringClose(c.socket, c.requestComplete, c.readDrained);
  c.socket = sys::kNoSocket;
}

void releaseTransport() {}

bool transportReady() { return false; }

}  // namespace http
