#include "http/server.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "core/event_log.h"
#include "core/flavour.h"
#include "http/connection.h"
#include "sys/admin.h"

namespace http {

namespace {

std::atomic<bool> running{false};
std::atomic<bool> stopRequested{false};
std::atomic<int> port{0};
std::atomic<bool> listenerActive{false};  // from startServer until serverMain returned
std::atomic<int> connectionThreads{0};
std::atomic<int> portOverride{0};
std::atomic<int> startFailure{0};
std::atomic<ServerStateHook> stateHook{nullptr};
std::thread listenerThread;  // touched only by the front end's thread
sys::SocketHandle listenSocket = sys::kNoSocket;  // owned by the listener thread

void notifyState() {
  if (ServerStateHook h = stateHook.load()) h();
}

struct ConnectionRecord {
  sys::SocketHandle socket;
  sys::PeerAddress peer;
};

void connectionThreadMain(std::unique_ptr<ConnectionRecord> record) {
  // Whatever goes wrong on one connection ends that connection only.
  try {
    handleConnection(record->socket, record->peer);
  } catch (...) {
  }
  connectionThreads.fetch_sub(1);
}

void startConnectionThread(sys::SocketHandle client, const sys::PeerAddress& peer) {
  connectionThreads.fetch_add(1);
  try {
    auto record = std::make_unique<ConnectionRecord>(ConnectionRecord{client, peer});
    std::thread(connectionThreadMain, std::move(record)).detach();
  } catch (...) {
    // No memory or no thread: drop this client, keep serving the others.
    sys::closeSocket(client);
    connectionThreads.fetch_sub(1);
  }
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

  while (!stopRequested.load()) {
    // At the thread cap new clients wait in the backlog until a thread ends.
    if (connectionThreads.load() >= kMaxConnectionThreads) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    if (sys::waitReadable(listenSocket, kAcceptPollMs) == 1) {
      sys::PeerAddress peer;
      sys::SocketHandle client = sys::acceptClient(listenSocket, peer);
      if (client != sys::kNoSocket) {
        sys::setIoTimeouts(client, kIdleReadMs, kWriteWaitMs);
        startConnectionThread(client, peer);
      }
    }
  }

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
int activeConnectionCount() { return connectionThreads.load(); }

bool waitForConnections(int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (connectionThreads.load() > 0) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
void setServerStateHook(ServerStateHook hook) { stateHook.store(hook); }

}  // namespace http
