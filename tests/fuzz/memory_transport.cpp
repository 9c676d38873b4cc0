// A transport over bytes in memory, in pieces of chosen sizes, so the
// request reader runs without sockets exactly as it does on a connection.
#include "memory_transport.h"

#include <cstring>

#include "http/connection.h"

namespace fuzz {

namespace {
std::string streamBytes;
std::string streamPlan;
size_t streamAt = 0;
size_t streamStep = 0;
}  // namespace

void setMemoryStream(const std::string& bytes, const std::string& plan) {
  streamBytes = bytes;
  streamPlan = plan;
  streamAt = 0;
  streamStep = 0;
}

}  // namespace fuzz

namespace http {

bool prepareTransport() { return true; }
Opened openConnection(Connection&) { return Opened::Ready; }
void releaseSession(void*) {}
bool sendAll(Connection&, const void*, uint64_t) { return true; }

int readSome(Connection&, void* buffer, int capacity) {
  size_t left = fuzz::streamBytes.size() - fuzz::streamAt;
  size_t n = fuzz::nextPiece(fuzz::streamPlan, fuzz::streamStep, left);
  if (n > (size_t)capacity) n = (size_t)capacity;
  std::memcpy(buffer, fuzz::streamBytes.data() + fuzz::streamAt, n);
  fuzz::streamAt += n;
  return (int)n;
}

int readSomeWithin(Connection& c, void* buffer, int capacity, int) { return readSome(c, buffer, capacity); }
void closeConnection(Connection& c) { c.closed = true; }
void releaseTransport() {}
bool transportReady() { return false; }

}  // namespace http
