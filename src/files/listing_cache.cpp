#include "files/listing_cache.h"

#include <algorithm>
#include <mutex>

namespace files {

namespace {

constexpr size_t kMaxFolders = 64;

struct Folder {
  std::string path;
  sys::FolderIdentity identity;
  sys::FolderWatch watch = sys::kNoWatch;
  uint64_t stamp = 0;
  uint64_t lastUse = 0;
  Listing answers[2];
};

std::mutex tableMutex;
std::vector<Folder> table;
uint64_t counter = 0;  // stamps and uses, never reused

void dropAt(size_t i) {
  sys::unwatchFolder(table[i].watch);
  table.erase(table.begin() + (ptrdiff_t)i);
}

void dropAll() {
  for (auto& f : table) sys::unwatchFolder(f.watch);
  table.clear();
}

// Forgets the folders the system reported a change to. The system queues a
// report before the call that made the change returns, so a folder still
// here is as it was read.
void dropChanged() {
  if (table.empty()) return;
  std::vector<sys::FolderWatch> fired;
  if (!sys::firedWatches(fired)) {
    dropAll();
    return;
  }
  for (sys::FolderWatch w : fired)
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i].watch == w) {
        dropAt(i);
        break;
      }
}

Folder* findFolder(const std::string& path) {
  for (auto& f : table)
    if (f.path == path) return &f;
  return nullptr;
}

// A new watched folder, or null when it cannot be watched.
Folder* startFolder(const std::string& path, const sys::FolderIdentity& identity) {
  sys::FolderWatch w = sys::watchFolder(path);
  if (w == sys::kNoWatch) return nullptr;
  // Another path of a folder already here shares its watch, which ending
  // this one would end too: that path is not kept.
  if (std::any_of(table.begin(), table.end(), [&](const Folder& f) { return f.watch == w; })) return nullptr;
  // The watch follows what the path named when it was made: when that is no
  // longer the folder the caller looked at, the path changed meanwhile.
  sys::FolderIdentity now;
  if (!sys::folderIdentity(path, now) || !(now == identity)) {
    sys::unwatchFolder(w);
    return nullptr;
  }
  if (table.size() >= kMaxFolders) {
    auto oldest = std::min_element(table.begin(), table.end(),
                                   [](const Folder& a, const Folder& b) { return a.lastUse < b.lastUse; });
    dropAt((size_t)(oldest - table.begin()));
  }
  Folder f;
  f.path = path;
  f.identity = identity;
  f.watch = w;
  f.stamp = ++counter;
  table.push_back(std::move(f));
  return &table.back();
}

}  // namespace

Listing findListing(const std::string& folder, const sys::FolderIdentity& identity, ListingKind kind,
                    uint64_t& stamp) {
  std::lock_guard<std::mutex> lock(tableMutex);
  dropChanged();
  Folder* f = findFolder(folder);
  if (f && !(f->identity == identity)) {
    dropAt((size_t)(f - table.data()));
    f = nullptr;
  }
  if (!f) f = startFolder(folder, identity);
  if (!f) {
    stamp = 0;
    return nullptr;
  }
  f->lastUse = ++counter;
  stamp = f->stamp;
  return f->answers[(int)kind];
}

void keepListing(const std::string& folder, ListingKind kind, uint64_t stamp, Listing answer) {
  if (stamp == 0) return;
  std::lock_guard<std::mutex> lock(tableMutex);
  dropChanged();
  Folder* f = findFolder(folder);
  if (f && f->stamp == stamp) f->answers[(int)kind] = std::move(answer);
}

void clearListings() {
  std::lock_guard<std::mutex> lock(tableMutex);
  dropAll();
}

}  // namespace files
