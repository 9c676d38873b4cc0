#include "files/tus_finished.h"

#include <deque>
#include <mutex>

namespace files {

namespace {

std::mutex finishedMutex;
std::deque<FinishedUpload> finished;  // oldest first

}  // namespace

void rememberFinished(const FinishedUpload& f) {
  std::lock_guard<std::mutex> lock(finishedMutex);
  finished.push_back(f);
  while (finished.size() > kMaxFinishedRemembered) finished.pop_front();
}

bool findFinished(const std::string& id, const std::string& owner, uint64_t now, FinishedUpload& out) {
  std::lock_guard<std::mutex> lock(finishedMutex);
  while (!finished.empty() && finished.front().finishedAt + kFinishedMemorySeconds <= now) finished.pop_front();
  for (const FinishedUpload& f : finished) {
    if (f.id != id || f.owner != owner) continue;
    out = f;
    return true;
  }
  return false;
}

bool forgetFinished(const std::string& id, const std::string& owner) {
  std::lock_guard<std::mutex> lock(finishedMutex);
  for (auto it = finished.begin(); it != finished.end(); ++it) {
    if (it->id != id || it->owner != owner) continue;
    finished.erase(it);
    return true;
  }
  return false;
}

void clearFinished() {
  std::lock_guard<std::mutex> lock(finishedMutex);
  finished.clear();
}

}  // namespace files
