#include "http/connection_threads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "http/connection.h"
#include "http/connection_limits.h"
#include "http/server.h"

namespace http {

namespace {

// One waiting thread's mailbox. Each has its own lock, so a handoff wakes
// exactly one thread and contends with nobody else.
struct Worker {
  std::mutex mutex;
  std::condition_variable wake;
  bool hasWork = false;
  bool dismissed = false;
  Accepted work;
};

struct Pool {
  std::mutex mutex;
  std::vector<Worker*> idle;  // the most recently idle last, taken first
  int threads = 0;
  std::unordered_map<std::string, int> perAddress;  // busy threads by client address key
};

// Never destroyed: a thread may still use it while the process exits.
Pool& pool() {
  static Pool* p = new Pool;
  return *p;
}

void runOne(Accepted& a) {
  // Whatever goes wrong on one connection ends that connection only.
  try {
    handleConnection(a);
  } catch (...) {
  }
}

// The thread's own lock is held while the mailbox is filled and signalled,
// so the thread cannot end (and its Worker vanish) in between.
void deliver(Worker* w, Accepted* work) {
  std::lock_guard<std::mutex> lock(w->mutex);
  if (work) {
    w->work = std::move(*work);
    w->hasWork = true;
  } else {
    w->dismissed = true;
  }
  w->wake.notify_one();
}

void leaveAddress(Pool& p, const std::string& key) {
  auto it = p.perAddress.find(key);
  if (it != p.perAddress.end() && --it->second <= 0) p.perAddress.erase(it);
}

// Waits for the next connection, the one of address key done; false when the
// thread is to end.
bool awaitWork(Pool& p, Worker& self, const std::string& key, Accepted& next) {
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    leaveAddress(p, key);
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
  next = std::move(self.work);
  self.hasWork = false;
  return true;
}

// Moves the thread's share from the address of the connection it has
// finished to the next one's; false when that address holds its share.
bool moveShare(Pool& p, const std::string& from, const std::string& to) {
  if (from == to) return true;  // the same share goes on: nothing to count
  std::lock_guard<std::mutex> lock(p.mutex);
  auto share = p.perAddress.try_emplace(to, 0).first;
  if (share->second >= kMaxThreadsPerAddress) return false;
  share->second++;
  leaveAddress(p, from);
  return true;
}

// The next connection for a thread that has finished the one of address
// key, straight from the backlog: under load the thread goes on without
// sleeping and without a handoff.
bool takeFromBacklog(Pool& p, const std::string& key, Accepted& next) {
  Accepted a;
  if (!takeNextClient(a)) return false;
  if (!moveShare(p, key, a.addressKey)) {
    waitForThread(std::move(a));
    return false;
  }
  next = std::move(a);
  return true;
}

void threadMain(Accepted first) {
  Pool& p = pool();
  Worker self;
  Accepted next = std::move(first);
  std::string key;
  do {
    key = next.addressKey;
    runOne(next);
  } while (takeFromBacklog(p, key, next) || awaitWork(p, self, key, next));
}

}  // namespace

Dispatch dispatchConnection(Accepted& a) {
  Pool& p = pool();
  Worker* w = nullptr;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    auto share = p.perAddress.try_emplace(a.addressKey, 0).first;
    if (share->second >= kMaxThreadsPerAddress) return Dispatch::AddressFull;
    if (!p.idle.empty()) {
      w = p.idle.back();
      p.idle.pop_back();
    } else if (p.threads >= kMaxConnectionThreads) {
      if (share->second == 0) p.perAddress.erase(share);
      return Dispatch::AllBusy;
    } else {
      p.threads++;
    }
    share->second++;
  }
  Accepted work = std::move(a);
  a.addressKey = work.addressKey;
  a.socket = sys::kNoSocket;
  a.session = nullptr;
  if (w) {
    deliver(w, &work);
    return Dispatch::Taken;
  }
  sys::SocketHandle socket = work.socket;
  void* session = work.session;
  std::string key = work.addressKey;
  try {
    std::thread(threadMain, std::move(work)).detach();
  } catch (...) {
    // No memory or no thread: drop this client, keep serving the others.
    if (session) releaseSession(session);
    sys::closeSocket(socket);
    std::lock_guard<std::mutex> lock(p.mutex);
    p.threads--;
    leaveAddress(p, key);
  }
  return Dispatch::Taken;
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
