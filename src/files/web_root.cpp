#include "files/web_root.h"

#include <mutex>

namespace files {

namespace {
std::mutex webRootMutex;
std::string currentWebRoot;
}  // namespace

void setWebRoot(const std::string& folder) {
  std::lock_guard<std::mutex> lock(webRootMutex);
  currentWebRoot = folder;
}

std::string webRoot() {
  std::lock_guard<std::mutex> lock(webRootMutex);
  return currentWebRoot;
}

}  // namespace files
