#include "http/connection_threads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "http/connection.h"
#include "http/server.h"

namespace http {

namespace {

struct Handoff {
  sys::SocketHandle socket;
  sys::PeerAddress peer;
  void* session;  // a parked connection's handshake in progress
};

// One waiting thread's mailbox. Each has its own lock, so a handoff wakes
// exactly one thread and contends with nobody else.
struct Worker {
  std::mutex mutex;
  std::condition_variable wake;
  bool hasWork = false;
  bool dismissed = false;
  Handoff work{};
};

struct Pool {
  std::mutex mutex;
  std::vector<Worker*> idle;  // the most recently idle last, taken first
  int threads = 0;
};

// Never destroyed: a thread may still use it while the process exits.
Pool& pool() {
  static Pool* p = new Pool;
  return *p;
}

void runOne(const Handoff& h) {
  // Whatever goes wrong on one connection ends that connection only.
  try {
    handleConnection(h.socket, h.peer, h.session);
  } catch (...) {
  }
}

// The thread's own lock is held while the mailbox is filled and signalled,
// so the thread cannot end (and its Worker vanish) in between.
void deliver(Worker* w, const Handoff* work) {
  std::lock_guard<std::mutex> lock(w->mutex);
  if (work) {
    w->work = *work;
    w->hasWork = true;
  } else {
    w->dismissed = true;
  }
  w->wake.notify_one();
}

// Waits for the next connection; false when the thread is to end.
bool awaitWork(Pool& p, Worker& self, Handoff& next) {
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.idle.push_back(&self);
  }
  std::unique_lock<std::mutex> lock(self.mutex);
  auto arrived = [&] { return self.hasWork || self.dismissed; };
  if (!self.wake.wait_for(lock, std::chrono::milliseconds(kThreadLingerMs), arrived)) {
    lock.unlock();
    {
      std::lock_guard<std::mutex> poolLock(p.mutex);
      auto it = std::find(p.idle.begin(), p.idle.end(), &self);
      if (it != p.idle.end()) {
        p.idle.erase(it);
        p.threads--;
        return false;
      }
    }
    // The listener took this thread just as its time ran out: the
    // connection is on its way.
    lock.lock();
    self.wake.wait(lock, arrived);
  }
  if (!self.hasWork) return false;  // dismissed, already uncounted
  next = self.work;
  self.hasWork = false;
  return true;
}

void threadMain(Handoff first) {
  Pool& p = pool();
  Worker self;
  Handoff next = first;
  do {
    runOne(next);
  } while (awaitWork(p, self, next));
}

}  // namespace

bool dispatchConnection(sys::SocketHandle socket, const sys::PeerAddress& peer, void* session) {
  Pool& p = pool();
  Handoff work{socket, peer, session};
  Worker* w = nullptr;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.idle.empty()) {
      w = p.idle.back();
      p.idle.pop_back();
    } else if (p.threads >= kMaxConnectionThreads) {
      return false;
    } else {
      p.threads++;
    }
  }
  if (w) {
    deliver(w, &work);
    return true;
  }
  try {
    std::thread(threadMain, work).detach();
  } catch (...) {
    // No memory or no thread: drop this client, keep serving the others.
    if (session) releaseSession(session);
    sys::closeSocket(socket);
    std::lock_guard<std::mutex> lock(p.mutex);
    p.threads--;
  }
  return true;
}

bool connectionThreadFree() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  return !p.idle.empty() || p.threads < kMaxConnectionThreads;
}

int busyConnectionThreads() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  // A thread counts as busy from the moment a connection is handed to it.
  return p.threads - (int)p.idle.size();
}

int connectionThreadCount() {
  Pool& p = pool();
  std::lock_guard<std::mutex> lock(p.mutex);
  return p.threads;
}

void dismissWaitingThreads() {
  Pool& p = pool();
  std::vector<Worker*> idle;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    idle.swap(p.idle);
    p.threads -= (int)idle.size();
  }
  for (Worker* w : idle) deliver(w, nullptr);
}

}  // namespace http
