#include "http/connection_threads.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "http/server.h"

namespace http {

namespace {

struct Handoff {
  sys::SocketHandle socket;
  sys::PeerAddress peer;
};

struct Pool {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Handoff> queue;  // never longer than the number of waiting threads
  int threads = 0;
  int waiting = 0;
  unsigned dismissals = 0;
};

// Never destroyed: a thread may still wait on it while the process exits.
Pool& pool() {
  static Pool* p = new Pool;
  return *p;
}

void runOne(const Handoff& h) {
  // Whatever goes wrong on one connection ends that connection only.
  try {
    handleConnection(h.socket, h.peer);
  } catch (...) {
  }
}

void threadMain(Handoff first) {
  Pool& p = pool();
  Handoff next = first;
  for (;;) {
    runOne(next);
    std::unique_lock<std::mutex> lock(p.mutex);
    p.waiting++;
    unsigned dismissals = p.dismissals;
    bool got = p.wake.wait_for(lock, std::chrono::milliseconds(kThreadLingerMs),
                               [&] { return !p.queue.empty() || p.dismissals != dismissals; });
    p.waiting--;
    if (!got || p.queue.empty()) {
      p.threads--;
      return;
    }
    next = p.queue.front();
    p.queue.pop_front();
  }
}

}  // namespace

bool dispatchConnection(sys::SocketHandle socket, const sys::PeerAddress& peer) {
  Pool& p = pool();
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    if ((size_t)p.waiting > p.queue.size()) {
      p.queue.push_back(Handoff{socket, peer});
      p.wake.notify_one();
      return true;
    }
    if (p.threads >= kMaxConnectionThreads) return false;
    p.threads++;
  }
  try {
    std::thread(threadMain, Handoff{socket, peer}).detach();
  } catch (...) {
    // No memory or no thread: drop this client, keep serving the others.
    sys::closeSocket(socket);
    std::lock_guard<std::mutex> lock(p.mutex);
    p.threads--;
  }
  return true;
}

bool connectionThreadFree() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  return (size_t)p.waiting > p.queue.size() || p.threads < kMaxConnectionThreads;
}

int busyConnectionThreads() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  // A handed-off connection counts as busy until its thread has taken it.
  return p.threads - p.waiting + (int)p.queue.size();
}

int connectionThreadCount() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  return p.threads;
}

void dismissWaitingThreads() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.dismissals++;
  p.wake.notify_all();
}

}  // namespace http
