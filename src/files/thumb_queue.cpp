#include "files/thumb_queue.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace files {

namespace {

// queueMutex guards the tickets and the count of turns taken.
std::mutex queueMutex;
std::condition_variable queueChanged;
std::deque<uint64_t> waiting;
uint64_t nextTicket = 0;
int taken = 0;

void leaveQueueLocked(uint64_t ticket) {
  for (auto it = waiting.begin(); it != waiting.end(); ++it) {
    if (*it == ticket) {
      waiting.erase(it);
      break;
    }
  }
}

}  // namespace

bool awaitTurn(const std::function<bool()>& stillWanted) {
  std::unique_lock<std::mutex> lock(queueMutex);
  uint64_t ticket = nextTicket++;
  waiting.push_back(ticket);
  for (;;) {
    if (taken < kPreviewMakers && waiting.front() == ticket) {
      waiting.pop_front();
      taken++;
      // The next in line may find a turn free too.
      queueChanged.notify_all();
      return true;
    }
    queueChanged.wait_for(lock, std::chrono::milliseconds(kTurnCheckMs));
    lock.unlock();
    bool wanted = stillWanted();
    lock.lock();
    if (!wanted) {
      leaveQueueLocked(ticket);
      queueChanged.notify_all();
      return false;
    }
  }
}

void endTurn() {
  std::lock_guard<std::mutex> lock(queueMutex);
  taken--;
  queueChanged.notify_all();
}

int turnsTaken() {
  std::lock_guard<std::mutex> lock(queueMutex);
  return taken;
}

int turnsWaiting() {
  std::lock_guard<std::mutex> lock(queueMutex);
  return (int)waiting.size();
}

}  // namespace files
