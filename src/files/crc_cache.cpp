#include "files/crc_cache.h"

#include <deque>
#include <mutex>
#include <unordered_map>

namespace files {

namespace {

struct Known {
  sys::FileVersion version;
  uint32_t crc = 0;
  uint64_t stamp = 0;  // which entry of the order is this one's
};

struct CrcCache {
  std::mutex mutex;
  std::unordered_map<std::string, Known> byPath;
  // Paths in the order they were remembered, with their stamps; an entry
  // whose stamp no longer matches was remembered again or forgotten since.
  std::deque<std::pair<std::string, uint64_t>> order;
  uint64_t nextStamp = 1;
};

// Never destroyed: a connection thread may still use it while the process exits.
CrcCache& cache() {
  static CrcCache* c = new CrcCache;
  return *c;
}

}  // namespace

bool knownCrc(const std::string& path, const sys::FileVersion& version, uint32_t& crc) {
  CrcCache& c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  auto it = c.byPath.find(path);
  if (it == c.byPath.end() || !(it->second.version == version)) return false;
  crc = it->second.crc;
  return true;
}

void rememberCrc(const std::string& path, const sys::FileVersion& version, uint32_t crc) {
  CrcCache& c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  uint64_t stamp = c.nextStamp++;
  c.byPath[path] = Known{version, crc, stamp};
  c.order.emplace_back(path, stamp);
  while (c.byPath.size() > kCrcCacheEntries || c.order.size() > 2 * kCrcCacheEntries) {
    auto& [oldest, oldStamp] = c.order.front();
    auto it = c.byPath.find(oldest);
    if (it != c.byPath.end() && it->second.stamp == oldStamp) c.byPath.erase(it);
    c.order.pop_front();
  }
}

}  // namespace files
