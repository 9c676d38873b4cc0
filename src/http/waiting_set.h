// Accepted connections whose request head has not gone to a thread yet:
// silent ones, ones the listener reads on (slow handshakes and heads), and
// ones whose head has arrived but whose address holds its share of threads.
// They cost no thread: the listener watches them all with one readiness
// wait. The set is bounded as a whole and per client address, and so are
// the head bytes it holds, so neither a misbehaving device nor a script on
// the network can fill it.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "http/accepted.h"
#include "http/connection_limits.h"

namespace http {

enum class Phase {
  Silent,   // nothing has arrived yet
  Reading,  // the handshake or head is on its way
  Ready,    // the head (or a TLS hello, see Progress::ForThread) is here; waits for a thread
};

struct WaitingConnection {
  Accepted conn;
  Phase phase = Phase::Silent;
  int64_t expiresAtMs = 0;   // closed then
};

struct WaitingSet {
  std::vector<WaitingConnection> entries;  // in the order they came in
  std::unordered_map<std::string, int> perAddress;
  size_t sharedHeadBytes = 0;  // head bytes beyond each one's kHeadAllowance
};

// Adds a connection in the order of acceptance (one a thread gives back
// may be older than some the listener took meanwhile). When the address's
// share is full and its oldest has waited kCrowdGraceMs, that one makes
// room; when the whole set is full the oldest of all does. What made room
// is appended to evicted for the caller to close.
void addWaiting(WaitingSet& set, WaitingConnection&& c, std::vector<WaitingConnection>& evicted);

// Removes the entries whose flag in take is set (take is parallel to
// entries) and returns them in order.
std::vector<WaitingConnection> takeWaiting(WaitingSet& set, const std::vector<unsigned char>& take);

// Removes the entry added last and returns it.
WaitingConnection takeLast(WaitingSet& set);

// Records that entry i's head has grown from oldSize bytes; false when the
// set's head bytes are over their budget with it (it is then to be closed).
bool noteHeadGrowth(WaitingSet& set, size_t i, size_t oldSize);

// Removes the connections whose time is up at nowMs into expired.
void expireWaiting(WaitingSet& set, int64_t nowMs, std::vector<WaitingConnection>& expired);

// Closes, oldest first, the connections of each address beyond its share
// that have waited kCrowdGraceMs at nowMs.
void trimCrowdedAddresses(WaitingSet& set, int64_t nowMs, std::vector<WaitingConnection>& evicted);

// Milliseconds until the next connection expires; -1 when the set is empty.
int64_t msUntilNextExpiry(const WaitingSet& set, int64_t nowMs);

}  // namespace http
