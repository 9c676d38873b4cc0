#include "http/server.h"

#include <atomic>
#include <chrono>
#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/event_log.h"
#include "core/flavour.h"
#include "http/connection.h"
#include "http/connection_limits.h"
#include "http/connection_threads.h"
#include "http/waiting_set.h"
#include "sys/admin.h"
#include "sys/memory.h"

namespace http {

namespace {

std::atomic<bool> running{false};
std::atomic<bool> stopRequested{false};
std::atomic<int> port{0};
std::atomic<bool> listenerActive{false};  // from startServer until serverMain returned
std::atomic<int> portOverride{0};
std::atomic<int> startFailure{0};
std::atomic<ServerStateHook> stateHook{nullptr};
std::atomic<const RouteTable*> routes{nullptr};
std::thread listenerThread;  // touched only by the front end's thread
sys::SocketHandle listenSocket = sys::kNoSocket;  // owned by the listener thread

// Connections that threads give back, on their way to the waiting set. A byte
// on the wake pair tells the listener to look.
struct Parked {
  Accepted conn;
  Phase phase;
};
std::mutex parkMutex;
std::vector<Parked> parkInbox;                    // guarded by parkMutex
bool parkOpen = false;                            // guarded: a listener takes them
sys::SocketHandle wakeRead = sys::kNoSocket;      // the listener's
sys::SocketHandle wakeWrite = sys::kNoSocket;     // written under parkMutex
constexpr size_t kFirstWaitingSlot = 2;           // after the listener and wakeRead

// The listening socket, for connection threads that take the next client
// themselves (kNoSocket while none may), and how many of them are in the
// middle of an accept on it: it is closed only once none is.
std::atomic<sys::SocketHandle> sharedListener{sys::kNoSocket};
std::atomic<int> acceptsUnderway{0};
// Whether accepted sockets come with their read and write time-outs.
std::atomic<bool> timeoutsPreset{false};
// How many clients a thread takes from the backlog in a row when each one
// has gone again or has only begun its TLS hello.
constexpr int kNextClientTries = 8;

void notifyState() {
  if (ServerStateHook h = stateHook.load()) h();
}

void listenerMain(int listenPort) {
  int code;
  try {
    code = serverMain(listenPort);
  } catch (...) {
    code = kStartNetFailed;
  }
  if (code != 0) {
    running.store(false);
    port.store(0);
    core::logEvent("ERROR   server failed to start (code " + std::to_string(code) + ")");
  }
  // The failure is published only once this listener counts as ended, so a
  // start made in answer to it is not taken for a second start.
  listenerActive.store(false);
  if (code != 0) {
    startFailure.store(code);
    notifyState();
  }
}

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void dropAll(std::vector<WaitingConnection>& list) {
  for (WaitingConnection& c : list) dropAccepted(c.conn);
  list.clear();
}

// Puts a connection into the waiting set.
void keepWaiting(WaitingSet& waiting, Accepted&& a, Phase phase, int64_t expiresAtMs,
                 std::vector<WaitingConnection>& toClose) {
  WaitingConnection c;
  c.conn = std::move(a);
  c.phase = phase;
  c.expiresAtMs = expiresAtMs;
  addWaiting(waiting, std::move(c), toClose);
}

// Moves what threads parked into the waiting set; their deadline goes with them.
void takeParked(WaitingSet& waiting, std::vector<WaitingConnection>& toClose) {
  char drain[64];
  while (sys::recvSome(wakeRead, drain, sizeof drain) > 0) {
  }
  std::vector<Parked> parked;
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    parked.swap(parkInbox);
  }
  int64_t now = steadyMs();
  for (Parked& p : parked) {
    int64_t due = p.phase == Phase::Silent ? now + kIdleReadMs
                  : p.phase == Phase::Ready ? now + kReadyWaitMs
                                            : p.conn.deadlineMs;
    keepWaiting(waiting, std::move(p.conn), p.phase, due, toClose);
  }
}

// Hands a connection to the listener's waiting set, or closes it when no
// listener takes any more.
void park(Accepted&& a, Phase phase) {
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    if (parkOpen) {
      parkInbox.push_back(Parked{std::move(a), phase});
      // One byte per batch: the listener takes the whole inbox when it wakes.
      if (parkInbox.size() == 1) {
        char wake = 1;
        sys::sendSome(wakeWrite, &wake, 1);
      }
      return;
    }
  }
  dropAccepted(a);
}

// A waiting connection whose socket has something to read (or, just
// accepted, may have): the listener reads what has arrived, and hands the
// connection to a thread once its head is there, or its TLS hello, whose
// answer is a thread's work. True when it leaves the set: handed over (its
// socket then gone) or to be closed.
bool serveReadable(WaitingSet& waiting, size_t i, int64_t now) {
  WaitingConnection& w = waiting.entries[i];
  if (!w.conn.opened && !w.conn.session) {
    size_t before = w.conn.head.bytes.size();
    Arrival got = lookAtClient(w.conn);
    if (got == Arrival::Closed) return true;
    if (got == Arrival::Nothing) return false;
    if (!noteHeadGrowth(waiting, i, before)) return true;
    if (w.phase == Phase::Silent) {
      w.phase = Phase::Reading;
      w.conn.deadlineMs = now + headDeadlineMs();
      w.expiresAtMs = w.conn.deadlineMs;
    }
    if (got == Arrival::Whole) {
      w.phase = Phase::Ready;
      w.expiresAtMs = now + kReadyWaitMs;
      return dispatchConnection(w.conn) == Dispatch::Taken;
    }
  } else if (!w.conn.opened && sys::peekByte(w.conn.socket) == 0) {
    return true;  // gone in the middle of its handshake: no failure worth a log line
  }
  Connection c;
  c.socket = w.conn.socket;
  c.tls = w.conn.session;
  c.patienceMs = 0;
  c.onListener = true;
  size_t before = w.conn.head.bytes.size();
  Progress got = readUpToHead(c, w.conn);
  if (got == Progress::Failed || !noteHeadGrowth(waiting, i, before)) return true;
  if (got == Progress::Waiting) return false;
  w.phase = Phase::Ready;
  w.expiresAtMs = now + kReadyWaitMs;
  return dispatchConnection(w.conn) == Dispatch::Taken;
}

// Takes what the backlog holds, a bounded number per round so the waiting
// connections are looked at in between. Most clients send their request (or
// their hello) right behind the connection: such a one goes to a thread at
// once.
void acceptPending(sys::SocketHandle listener, WaitingSet& waiting, std::vector<WaitingConnection>& toClose) {
  for (int n = 0; n < 64; n++) {
    Accepted a;
    a.socket = sys::acceptClient(listener, a.peer, socketsBlock());
    if (a.socket == sys::kNoSocket) {
      // Out of descriptors, say: the client stays in the backlog, and the
      // loop must not spin on a listener that stays readable.
      if (!sys::lastErrorIsRetry()) std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
      return;
    }
    a.addressKey = sys::addressKey(a.peer);
    a.timeoutsPreset = timeoutsPreset.load();
    int64_t now = steadyMs();
    a.acceptedAtMs = now;
    keepWaiting(waiting, std::move(a), Phase::Silent, now + kIdleReadMs, toClose);
    if (stopRequested.load() || !serveReadable(waiting, waiting.entries.size() - 1, now)) continue;
    WaitingConnection gone = takeLast(waiting);
    dropAccepted(gone.conn);
  }
}

// Hands connections whose head (or TLS hello) has arrived to threads, in the
// order they came in, as far as threads and their addresses' shares allow.
// True when some are left waiting.
bool dispatchReady(WaitingSet& waiting, int64_t now) {
  std::vector<unsigned char> done;
  bool left = false, allBusy = false;
  for (size_t i = 0; i < waiting.entries.size(); i++) {
    WaitingConnection& w = waiting.entries[i];
    if (w.phase != Phase::Ready) continue;
    // The wait for a thread was the server's, not the client's: the rest of
    // a handshake gets that time on top.
    int64_t due = w.conn.deadlineMs;
    w.conn.deadlineMs += now - (w.expiresAtMs - kReadyWaitMs);
    Dispatch d = allBusy ? Dispatch::AllBusy : dispatchConnection(w.conn);
    if (d != Dispatch::Taken) w.conn.deadlineMs = due;
    allBusy = d == Dispatch::AllBusy;
    if (d == Dispatch::Taken) {
      done.resize(waiting.entries.size(), 0);
      done[i] = 1;
    } else {
      left = true;
    }
  }
  if (!done.empty()) takeWaiting(waiting, done);
  return left;
}

void acceptLoop(WaitingSet& waiting) {
  std::vector<sys::SocketHandle> sockets;
  std::vector<size_t> watched;  // the entry behind each socket from kFirstWaitingSlot on
  std::vector<unsigned char> readable, leaving;
  std::vector<WaitingConnection> toClose;
  size_t crowd = 0;  // the most that waited at once since freed memory was last handed back
  while (!stopRequested.load()) {
    int64_t now = steadyMs();
    expireWaiting(waiting, now, toClose);
    trimCrowdedAddresses(waiting, now, toClose);
    dropAll(toClose);
    bool readyLeft = dispatchReady(waiting, now);
    crowd = std::max(crowd, waiting.entries.size());
    if (crowd >= waiting.entries.size() + kTrimAfterLeaving) {
      sys::releaseFreeMemory();
      crowd = waiting.entries.size();
    }
    int64_t wait = msUntilNextExpiry(waiting, now);
    int timeout = wait < 0 || wait > kAcceptPollMs ? kAcceptPollMs : (int)wait;
    // A connection that waits for a thread is looked at again soon.
    if (readyLeft && timeout > kBusyPollMs) timeout = kBusyPollMs;
    sockets.clear();
    watched.clear();
    sockets.push_back(listenSocket);
    sockets.push_back(wakeRead);
    for (size_t i = 0; i < waiting.entries.size(); i++) {
      if (waiting.entries[i].phase == Phase::Ready) continue;
      sockets.push_back(waiting.entries[i].conn.socket);
      watched.push_back(i);
    }
    readable.assign(sockets.size(), 0);
    if (sys::waitAnyReadable(sockets.data(), (int)sockets.size(), timeout, readable.data()) <= 0) continue;
    // Once a stop is requested nothing more is handed over: the stop's own
    // wake-up connection among them.
    if (stopRequested.load()) break;
    now = steadyMs();
    leaving.assign(waiting.entries.size(), 0);
    bool anyLeaving = false;
    for (size_t k = 0; k < watched.size(); k++) {
      if (!readable[k + kFirstWaitingSlot] || !serveReadable(waiting, watched[k], now)) continue;
      leaving[watched[k]] = 1;
      anyLeaving = true;
    }
    if (anyLeaving) {
      std::vector<WaitingConnection> gone = takeWaiting(waiting, leaving);
      dropAll(gone);
    }
    if (readable[1]) takeParked(waiting, toClose);
    if (readable[0]) acceptPending(listenSocket, waiting, toClose);
    dropAll(toClose);
  }
}

}  // namespace

int defaultServerPort() {
  const core::Flavour& f = core::flavour();
  return sys::isRunningAsAdmin() ? f.network.adminPort : f.network.userPort;
}

void setServerPortOverride(int p) { portOverride.store(p); }

int configuredServerPort() {
  int p = portOverride.load();
  return p != 0 ? p : defaultServerPort();
}

void startServer(const RouteTable& table) {
  if (running.load() || listenerActive.load()) return;
  routes.store(&table);
  // A listener that ended after a failed start is reaped before the next one.
  if (listenerThread.joinable()) listenerThread.join();
  stopRequested.store(false);
  startFailure.store(0);
  int p = configuredServerPort();
  listenerActive.store(true);
  listenerThread = std::thread(listenerMain, p);
}

void stopServer() {
  if (!listenerThread.joinable()) return;
  stopRequested.store(true);
  if (running.load()) sys::pokeLoopback(port.load());
  // The wake-up connection may go to a connection thread that takes clients
  // from the backlog itself; this byte wakes the listener all the same.
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    if (parkOpen) {
      char wake = 1;
      sys::sendSome(wakeWrite, &wake, 1);
    }
  }
  listenerThread.join();
}

namespace {

void closeIfOpen(sys::SocketHandle& s) {
  if (s == sys::kNoSocket) return;
  sys::closeSocket(s);
  s = sys::kNoSocket;
}

// A dual-stack socket bound to the port, else (where IPv6 is unavailable)
// an IPv4 one: 0, or the start-up failure code. A port that is taken fails
// both, so the fallback never hides it.
int bindListener(int listenPort) {
  listenSocket = sys::openStreamSocket6();
  if (listenSocket != sys::kNoSocket) {
    sys::setDualStack(listenSocket);
    sys::setReuseAddress(listenSocket);
    if (sys::bindAny6(listenSocket, listenPort)) return 0;
    closeIfOpen(listenSocket);
  }
  listenSocket = sys::openStreamSocket4();
  if (listenSocket == sys::kNoSocket) return kStartSocketFailed;
  sys::setReuseAddress(listenSocket);
  if (!sys::bindAny4(listenSocket, listenPort)) return kStartBindFailed;
  core::logEvent("SERVER  IPv6 unavailable; serving IPv4 only");
  return 0;
}

// The listening socket and the wake pair; 0, or the start-up failure code
// with whatever was opened left for closeListenerSockets.
int openListener(int listenPort) {
  if (!prepareTransport()) return kStartTlsFailed;
  int code = bindListener(listenPort);
  if (code != 0) return code;
  if (!sys::startListening(listenSocket)) return kStartListenFailed;
  // Set once here instead of on every accepted socket, where the system allows.
  timeoutsPreset.store(sys::presetAcceptedIoTimeouts(listenSocket, idleReadMs(), kWriteWaitMs));
  if (!sys::openWakePair(wakeRead, wakeWrite)) return kStartSocketFailed;
  return 0;
}

void closeListenerSockets() {
  closeIfOpen(wakeRead);
  closeIfOpen(wakeWrite);
  closeIfOpen(listenSocket);
}

// From the listening line to the stop: accepts until asked to stop, then
// gives up every waiting connection.
void serve(int listenPort) {
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    parkOpen = true;
  }
  running.store(true);
  port.store(listenPort);
  core::logEvent(std::string("SERVER  listening (") + core::flavour().network.protocolLabel + ") on port " +
                 std::to_string(listenPort));
  notifyState();
  sharedListener.store(listenSocket);

  WaitingSet waiting;
  acceptLoop(waiting);
  sharedListener.store(sys::kNoSocket);
  while (acceptsUnderway.load() > 0) std::this_thread::yield();
  // Waiting connections get no thread, not even now; threads that park from
  // now on close their connection themselves.
  std::vector<WaitingConnection> toClose;
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    parkOpen = false;
    closeIfOpen(wakeWrite);
  }
  takeParked(waiting, toClose);
  dropAll(toClose);
  dropAll(waiting.entries);
  waiting = WaitingSet();
  sys::releaseFreeMemory();
  closeIfOpen(wakeRead);
  dismissWaitingThreads();

  core::logEvent("SERVER  stopping");
  closeIfOpen(listenSocket);
  running.store(false);
  port.store(0);
  notifyState();
}

}  // namespace

int serverMain(int listenPort) {
  if (!sys::netStartup()) return kStartNetFailed;
  int code = openListener(listenPort);
  if (code == 0) serve(listenPort);
  closeListenerSockets();
  sys::netCleanup();
  return code;
}

void parkConnection(Accepted&& a) { park(std::move(a), Phase::Reading); }

void waitForThread(Accepted&& a) { park(std::move(a), Phase::Ready); }

bool takeNextClient(Accepted& a) {
  for (int n = 0; n < kNextClientTries; n++) {
    // Counted before the socket is looked at, so the listener that takes it
    // away either sees this accept under way or this thread sees no socket.
    acceptsUnderway.fetch_add(1);
    sys::SocketHandle listener = sharedListener.load();
    Accepted next;
    if (listener != sys::kNoSocket && !stopRequested.load())
      next.socket = sys::acceptClient(listener, next.peer, socketsBlock());
    acceptsUnderway.fetch_sub(1);
    if (next.socket == sys::kNoSocket) return false;
    next.acceptedAtMs = steadyMs();
    // A client is often accepted a moment before its first bytes come: they
    // are worth a brief wait, which costs less than the listener's round.
    Arrival got = lookAtClient(next);
    if (got == Arrival::Nothing && sys::waitReadable(next.socket, kHeadPatienceMs) == 1) got = lookAtClient(next);
    if (got == Arrival::Closed) {
      dropAccepted(next);
      continue;
    }
    next.addressKey = sys::addressKey(next.peer);
    next.timeoutsPreset = timeoutsPreset.load();
    // As on the listener: a client that has sent nothing yet, or only part
    // of its TLS hello, waits without a thread. The thread waited for this
    // one; it takes no other now, so that silent clients never keep it long.
    if (got == Arrival::Nothing) {
      park(std::move(next), Phase::Silent);
      return false;
    }
    next.deadlineMs = steadyMs() + headDeadlineMs();
    if (!readyForThread(got)) {
      park(std::move(next), Phase::Reading);
      continue;
    }
    a = std::move(next);
    return true;
  }
  return false;
}

const RouteTable& serverRoutes() { return *routes.load(); }

bool serverRunning() { return running.load(); }
int lastStartFailure() { return startFailure.load(); }
int serverPort() { return port.load(); }
int activeConnectionCount() { return busyConnectionThreads(); }

bool waitForConnections(int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (busyConnectionThreads() > 0) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
void setServerStateHook(ServerStateHook hook) { stateHook.store(hook); }

}  // namespace http
