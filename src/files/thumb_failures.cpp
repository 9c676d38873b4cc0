#include "files/thumb_failures.h"

#include <deque>
#include <mutex>
#include <unordered_set>

namespace files {

namespace {

// failureMutex guards both.
std::mutex failureMutex;
std::unordered_set<std::string> failed;
std::deque<std::string> failedInOrder;

}  // namespace

void rememberNoPreview(const std::string& name) {
  std::lock_guard<std::mutex> lock(failureMutex);
  if (!failed.insert(name).second) return;
  failedInOrder.push_back(name);
  if (failedInOrder.size() > kRememberedFailures) {
    failed.erase(failedInOrder.front());
    failedInOrder.pop_front();
  }
}

bool isRememberedNoPreview(const std::string& name) {
  std::lock_guard<std::mutex> lock(failureMutex);
  return failed.count(name) != 0;
}

void forgetNoPreviews() {
  std::lock_guard<std::mutex> lock(failureMutex);
  failed.clear();
  failedInOrder.clear();
}

}  // namespace files
