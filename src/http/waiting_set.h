// Accepted connections that have not sent a byte yet. They cost no thread:
// the listener watches them all with one readiness wait and hands each to a
// connection thread only once its first bytes (or its TLS client hello) have
// arrived. The set is bounded as a whole and per client address, so neither
// a misbehaving device nor a script on the network can fill it.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "sys/net.h"

namespace http {

constexpr size_t kMaxWaiting = 4096;
constexpr int kMaxWaitingPerAddress = 256;
// A connection beyond its address's share is closed only once it has waited
// this long: a burst from one busy client (a page that opens many
// connections, a loaded machine slow to send) is not taken for a flood.
constexpr int kCrowdGraceMs = 2000;

struct WaitingConnection {
  sys::SocketHandle socket;
  sys::PeerAddress peer;
  std::string host;      // numeric client address, the per-address key
  int64_t acceptedAtMs;  // steady clock
};

struct WaitingSet {
  std::vector<WaitingConnection> entries;  // oldest first
  std::unordered_map<std::string, int> perHost;
};

// Adds a connection (its acceptedAtMs is taken as the time now). When the
// address's share is full and its oldest has waited kCrowdGraceMs, that one
// makes room; when the whole set is full the oldest of all does. The sockets
// that made room are appended to evicted for the caller to close.
void addWaiting(WaitingSet& set, const WaitingConnection& c, std::vector<sys::SocketHandle>& evicted);

// Removes the entries whose flag in take is set (take is parallel to
// entries) and returns them in order.
std::vector<WaitingConnection> takeWaiting(WaitingSet& set, const std::vector<unsigned char>& take);

// Removes the connections that have waited idleMs or longer at nowMs and
// appends their sockets to expired.
void expireWaiting(WaitingSet& set, int64_t nowMs, int idleMs, std::vector<sys::SocketHandle>& expired);

// Closes, oldest first, the connections of each address beyond its share
// that have waited kCrowdGraceMs at nowMs.
void trimCrowdedAddresses(WaitingSet& set, int64_t nowMs, std::vector<sys::SocketHandle>& evicted);

// Milliseconds until the oldest connection expires; -1 when the set is empty.
int64_t msUntilNextExpiry(const WaitingSet& set, int64_t nowMs, int idleMs);

}  // namespace http
