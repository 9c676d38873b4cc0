#include "http/server.h"

#include <atomic>
#include <chrono>
#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/event_log.h"
#include "core/flavour.h"
#include "http/connection.h"
#include "http/connection_threads.h"
#include "http/waiting_set.h"
#include "sys/admin.h"

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
// Sessions of the parked connections in the waiting set, by socket; owned by
// the listener thread.
std::unordered_map<sys::SocketHandle, void*> parkedSessions;

// Connections that threads give back, on their way to the waiting set. A byte
// on the wake pair tells the listener to look.
struct ParkedConnection {
  sys::SocketHandle socket;
  sys::PeerAddress peer;
  void* session;
};
std::mutex parkMutex;
std::vector<ParkedConnection> parkInbox;          // guarded by parkMutex
bool parkOpen = false;                            // guarded: a listener takes them
sys::SocketHandle wakeRead = sys::kNoSocket;      // the listener's
sys::SocketHandle wakeWrite = sys::kNoSocket;     // written under parkMutex
constexpr size_t kFirstWaitingSlot = 2;           // after the listener and wakeRead

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

// Closes connections given up on, with the session of any parked one.
void closeAll(std::vector<sys::SocketHandle>& sockets) {
  for (sys::SocketHandle s : sockets) {
    if (!parkedSessions.empty()) {
      auto it = parkedSessions.find(s);
      if (it != parkedSessions.end()) {
        releaseSession(it->second);
        parkedSessions.erase(it);
      }
    }
    sys::closeSocket(s);
  }
  sockets.clear();
}

// Hands a waiting connection to a thread, with its session if it was parked.
bool dispatchWaiting(const WaitingConnection& c) {
  auto it = parkedSessions.find(c.socket);
  void* session = it == parkedSessions.end() ? nullptr : it->second;
  if (!dispatchConnection(c.socket, c.peer, session)) return false;
  if (session) parkedSessions.erase(it);
  return true;
}

// Puts a connection into the waiting set, from now on, under its address.
void keepWaiting(WaitingSet& waiting, sys::SocketHandle socket, const sys::PeerAddress& peer,
                 std::vector<sys::SocketHandle>& toClose) {
  WaitingConnection c;
  c.socket = socket;
  c.peer = peer;
  std::string port;
  if (!sys::numericPeer(c.peer, c.host, port)) c.host.clear();
  c.acceptedAtMs = steadyMs();
  addWaiting(waiting, c, toClose);
}

// Moves what threads parked into the waiting set.
void takeParked(WaitingSet& waiting, std::vector<sys::SocketHandle>& toClose) {
  char drain[64];
  while (sys::recvSome(wakeRead, drain, sizeof drain) > 0) {
  }
  std::vector<ParkedConnection> parked;
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    parked.swap(parkInbox);
  }
  for (const ParkedConnection& p : parked) {
    parkedSessions[p.socket] = p.session;
    keepWaiting(waiting, p.socket, p.peer, toClose);
  }
}

// Takes what the backlog holds, a bounded number per round so the waiting
// connections are looked at in between. Most clients send their request
// right behind the connection: such a one goes to a thread at once.
void acceptPending(sys::SocketHandle listener, WaitingSet& waiting, std::vector<sys::SocketHandle>& toClose) {
  for (int n = 0; n < 64; n++) {
    sys::PeerAddress peer;
    sys::SocketHandle socket = sys::acceptClient(listener, peer);
    if (socket == sys::kNoSocket) {
      // Out of descriptors, say: the client stays in the backlog, and the
      // loop must not spin on a listener that stays readable.
      if (!sys::lastErrorIsRetry()) std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
      return;
    }
    int first = stopRequested.load() ? -1 : sys::peekByte(socket);
    if (first == 0) {
      toClose.push_back(socket);
      continue;
    }
    if (first == 1 && dispatchConnection(socket, peer, nullptr)) continue;
    keepWaiting(waiting, socket, peer, toClose);
  }
}

// Hands every waiting connection whose first bytes have arrived to a thread;
// one that closed without a byte is closed here. Once a stop is requested
// nothing more is handed over: the stop's own wake-up connection among them.
void dispatchReady(WaitingSet& waiting, const std::vector<unsigned char>& readable,
                   std::vector<sys::SocketHandle>& toClose) {
  std::vector<unsigned char> take(waiting.entries.size(), 0);
  for (size_t i = 0; i < waiting.entries.size(); i++) take[i] = readable[i + kFirstWaitingSlot];
  std::vector<WaitingConnection> ready = takeWaiting(waiting, take);
  std::vector<WaitingConnection> kept;
  for (WaitingConnection& c : ready) {
    if (stopRequested.load()) {
      toClose.push_back(c.socket);
    } else if (sys::peekByte(c.socket) != 1) {
      toClose.push_back(c.socket);
    } else if (!dispatchWaiting(c)) {
      kept.push_back(std::move(c));  // every thread busy: it waits on
    }
  }
  // Put back in accept order, which expiry relies on.
  if (kept.empty()) return;
  for (const WaitingConnection& c : kept) waiting.perHost[c.host]++;
  waiting.entries.insert(waiting.entries.begin(), kept.begin(), kept.end());
  std::inplace_merge(waiting.entries.begin(), waiting.entries.begin() + (std::ptrdiff_t)kept.size(),
                     waiting.entries.end(), [](const WaitingConnection& a, const WaitingConnection& b) {
                       return a.acceptedAtMs < b.acceptedAtMs;
                     });
}

void acceptLoop(WaitingSet& waiting) {
  std::vector<sys::SocketHandle> sockets;
  std::vector<unsigned char> readable;
  std::vector<sys::SocketHandle> toClose;
  while (!stopRequested.load()) {
    expireWaiting(waiting, steadyMs(), kIdleReadMs, toClose);
    trimCrowdedAddresses(waiting, steadyMs(), toClose);
    closeAll(toClose);
    int64_t wait = msUntilNextExpiry(waiting, steadyMs(), kIdleReadMs);
    int timeout = wait < 0 || wait > kAcceptPollMs ? kAcceptPollMs : (int)wait;
    // With every thread busy the waiting connections are not watched (their
    // readiness would wake this loop at once); they are served when a thread
    // is free again.
    bool watchWaiting = connectionThreadFree();
    if (!watchWaiting && timeout > kBusyPollMs) timeout = kBusyPollMs;
    sockets.clear();
    sockets.push_back(listenSocket);
    sockets.push_back(wakeRead);
    if (watchWaiting)
      for (const WaitingConnection& c : waiting.entries) sockets.push_back(c.socket);
    readable.assign(sockets.size(), 0);
    if (sys::waitAnyReadable(sockets.data(), (int)sockets.size(), timeout, readable.data()) <= 0) continue;
    if (stopRequested.load()) break;
    if (watchWaiting) dispatchReady(waiting, readable, toClose);
    if (readable[1]) takeParked(waiting, toClose);
    if (readable[0]) acceptPending(listenSocket, waiting, toClose);
    closeAll(toClose);
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

  WaitingSet waiting;
  acceptLoop(waiting);
  // Waiting connections get no thread, not even now; threads that park from
  // now on close their connection themselves.
  std::vector<sys::SocketHandle> toClose;
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    parkOpen = false;
    closeIfOpen(wakeWrite);
  }
  takeParked(waiting, toClose);
  for (const WaitingConnection& c : waiting.entries) toClose.push_back(c.socket);
  closeAll(toClose);
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

void parkConnection(sys::SocketHandle socket, const sys::PeerAddress& peer, void* session) {
  {
    std::lock_guard<std::mutex> lock(parkMutex);
    if (parkOpen) {
      parkInbox.push_back(ParkedConnection{socket, peer, session});
      // One byte per batch: the listener takes the whole inbox when it wakes.
      if (parkInbox.size() == 1) {
        char wake = 1;
        sys::sendSome(wakeWrite, &wake, 1);
      }
      return;
    }
  }
  releaseSession(session);
  sys::closeSocket(socket);
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
