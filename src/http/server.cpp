#include "http/server.h"

#include <atomic>
#include <chrono>
#include <algorithm>
#include <string>
#include <thread>
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
std::thread listenerThread;  // touched only by the front end's thread
sys::SocketHandle listenSocket = sys::kNoSocket;  // owned by the listener thread

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

void closeAll(std::vector<sys::SocketHandle>& sockets) {
  for (sys::SocketHandle s : sockets) sys::closeSocket(s);
  sockets.clear();
}

// Takes what the backlog holds, a bounded number per round so the waiting
// connections are looked at in between.
void acceptPending(sys::SocketHandle listener, WaitingSet& waiting, std::vector<sys::SocketHandle>& toClose) {
  for (int n = 0; n < 64 && sys::waitReadable(listener, 0) == 1; n++) {
    WaitingConnection c;
    c.socket = sys::acceptClient(listener, c.peer);
    if (c.socket == sys::kNoSocket) {
      // Out of descriptors, say: the client stays in the backlog, and the
      // loop must not spin on a listener that stays readable.
      std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
      return;
    }
    std::string port;
    if (!sys::numericPeer(c.peer, c.host, port)) c.host.clear();
    c.acceptedAtMs = steadyMs();
    sys::setIoTimeouts(c.socket, kIdleReadMs, kWriteWaitMs);
    addWaiting(waiting, c, toClose);
  }
}

// Hands every waiting connection whose first bytes have arrived to a thread;
// one that closed without a byte is closed here. Once a stop is requested
// nothing more is handed over: the stop's own wake-up connection among them.
void dispatchReady(WaitingSet& waiting, const std::vector<unsigned char>& readable,
                   std::vector<sys::SocketHandle>& toClose) {
  std::vector<unsigned char> take(waiting.entries.size(), 0);
  for (size_t i = 0; i < waiting.entries.size(); i++) take[i] = readable[i + 1];
  std::vector<WaitingConnection> ready = takeWaiting(waiting, take);
  std::vector<WaitingConnection> kept;
  for (WaitingConnection& c : ready) {
    if (stopRequested.load()) {
      toClose.push_back(c.socket);
    } else if (sys::peekByte(c.socket) != 1) {
      toClose.push_back(c.socket);
    } else if (!dispatchConnection(c.socket, c.peer)) {
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
    if (watchWaiting)
      for (const WaitingConnection& c : waiting.entries) sockets.push_back(c.socket);
    readable.assign(sockets.size(), 0);
    if (sys::waitAnyReadable(sockets.data(), (int)sockets.size(), timeout, readable.data()) <= 0) continue;
    if (stopRequested.load()) break;
    if (watchWaiting) dispatchReady(waiting, readable, toClose);
    if (readable[0]) acceptPending(listenSocket, waiting, toClose);
    closeAll(toClose);
  }
}

}  // namespace

int defaultServerPort() {
  const core::Flavour& f = core::flavour();
  return sys::isRunningAsAdmin() ? f.adminPort : f.userPort;
}

void setServerPortOverride(int p) { portOverride.store(p); }

int configuredServerPort() {
  int p = portOverride.load();
  return p != 0 ? p : defaultServerPort();
}

void startServer() {
  if (running.load() || listenerActive.load()) return;
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

int serverMain(int listenPort) {
  if (!sys::netStartup()) return kStartNetFailed;
  if (!prepareTransport()) {
    sys::netCleanup();
    return kStartTlsFailed;
  }
  listenSocket = sys::openStreamSocket6();
  if (listenSocket == sys::kNoSocket) {
    sys::netCleanup();
    return kStartSocketFailed;
  }
  sys::setDualStack(listenSocket);
  sys::setReuseAddress(listenSocket);
  if (!sys::bindAny6(listenSocket, listenPort)) {
    sys::closeSocket(listenSocket);
    listenSocket = sys::kNoSocket;
    sys::netCleanup();
    return kStartBindFailed;
  }
  if (!sys::startListening(listenSocket)) {
    sys::closeSocket(listenSocket);
    listenSocket = sys::kNoSocket;
    sys::netCleanup();
    return kStartListenFailed;
  }

  running.store(true);
  port.store(listenPort);
  core::logEvent(std::string("SERVER  listening (") + core::flavour().protocolLabel + ") on port " +
                std::to_string(listenPort));
  notifyState();

  WaitingSet waiting;
  acceptLoop(waiting);
  // Connections that never sent a byte get no thread, not even now.
  for (const WaitingConnection& c : waiting.entries) sys::closeSocket(c.socket);
  dismissWaitingThreads();

  core::logEvent("SERVER  stopping");
  sys::closeSocket(listenSocket);
  listenSocket = sys::kNoSocket;
  running.store(false);
  port.store(0);
  notifyState();
  sys::netCleanup();
  return 0;
}

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
