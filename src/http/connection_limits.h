// What a connection may cost before and while it is served, and why. The
// listener keeps every connection without a thread until its request head
// has arrived, so that no group of slow or silent clients can hold the
// connection threads; these bounds keep that waiting itself cheap.
#pragma once
#include <cstddef>

namespace http {

// Threads, reused between connections: a burst pays for no thread start,
// and the cap bounds the stacks a busy server holds.
constexpr int kMaxConnectionThreads = 512;
constexpr int kThreadLingerMs = 30000;  // an idle thread waits this long for work, then ends

// One client address (an IPv4 address, or an IPv6 /64, which one device may
// fill) holds at most this many threads. A browser opens six connections to
// a server; this leaves room for several tabs and programs of one device
// while most threads stay for everybody else.
constexpr int kMaxThreadsPerAddress = 32;

// A connection whose head has arrived but whose address holds its share of
// threads waits for one this long, then is closed.
constexpr int kReadyWaitMs = 60000;

// The handshake and the request head must both have arrived within this
// time of the connection's first byte, however steadily the bytes trickle.
// A phone on a poor network needs a few seconds; the deadline bounds what a
// client that sends one byte now and then can hold. VANTREL_HEAD_DEADLINE_MS
// overrides it (the tests shorten it).
constexpr int kHeadDeadlineMs = 20000;
int headDeadlineMs();

// A connection thread that takes a connection with its first bytes waits
// this long for each handshake step and for the rest of the head; a slower
// client goes back to the listener, which reads on without a thread.
constexpr int kHeadPatienceMs = 10;
// The steps of a handshake that a thread has begun get longer: a session
// parked half-way holds some 45 KB, and a client on a busy machine often
// takes more than kHeadPatienceMs to send its part.
constexpr int kHandshakePatienceMs = 100;

// Connections that have not sent a byte yet, as a whole and per address.
constexpr size_t kMaxWaiting = 4096;
constexpr int kMaxWaitingPerAddress = 256;
// A connection beyond its address's share is closed only once it has waited
// this long: a burst from one busy client (a page that opens many
// connections, a loaded machine slow to send) is not taken for a flood.
constexpr int kCrowdGraceMs = 2000;

// Head bytes the waiting connections hold: each may hold a usual head's
// worth; beyond that they share one budget, and a connection whose head
// would exceed it is closed, so heads near their 1 MiB limit from thousands
// of connections cannot take the memory.
constexpr size_t kHeadAllowance = 16384;
constexpr size_t kWaitingHeadBudget = 64 * 1048576;

// Each time the waiting set has shrunk by this many connections (a flood
// going away), the memory they held is handed back to the system; the C
// library would keep much of it.
constexpr size_t kTrimAfterLeaving = 256;

}  // namespace http
