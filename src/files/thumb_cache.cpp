#include "files/thumb_cache.h"

#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "sys/file_io.h"
#include "sys/file_write.h"
#include "sys/folders.h"
#include "sys/fs.h"
#include "sys/sha256.h"

namespace files {

namespace {

struct Kept {
  uint64_t bytes = 0;
  uint64_t lastUse = 0;  // a tick of useCounter
};

// thumbMutex guards all of it.
std::mutex thumbMutex;
std::string cacheFolder;
uint64_t cacheBound = kThumbCacheBytes;
uint64_t useCounter = 0;
uint64_t totalBytes = 0;
std::unordered_map<std::string, Kept> kept;
std::map<uint64_t, std::string> byLastUse;

const char kSuffix[] = ".jpg";

bool isThumbName(const std::string& name) {
  if (name.size() != 64 + 4 || name.compare(64, 4, kSuffix) != 0) return false;
  for (size_t i = 0; i < 64; ++i)
    if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f'))) return false;
  return true;
}

// Under thumbMutex.
void forgetLocked(const std::string& name) {
  auto it = kept.find(name);
  if (it == kept.end()) return;
  totalBytes -= it->second.bytes;
  byLastUse.erase(it->second.lastUse);
  kept.erase(it);
}

// Under thumbMutex.
void noteLocked(const std::string& name, uint64_t bytes) {
  forgetLocked(name);
  Kept k{bytes, ++useCounter};
  kept[name] = k;
  byLastUse[k.lastUse] = name;
  totalBytes += bytes;
}

// Under thumbMutex: the names to remove from disk to come back within the bound.
std::vector<std::string> trimLocked() {
  std::vector<std::string> out;
  while (totalBytes > cacheBound && !byLastUse.empty()) {
    std::string name = byLastUse.begin()->second;
    forgetLocked(name);
    out.push_back(sys::joinPath(cacheFolder, name));
  }
  return out;
}

void removeFiles(const std::vector<std::string>& paths) {
  for (const std::string& p : paths) sys::deleteFile(p);
}

bool isWholeJpeg(const std::string& bytes) {
  return bytes.size() >= 4 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xD8 &&
         (unsigned char)bytes[bytes.size() - 2] == 0xFF && (unsigned char)bytes[bytes.size() - 1] == 0xD9;
}

bool readThumbFile(const std::string& path, std::string& bytes) {
  sys::FileHandle f = sys::openForReading(path);
  if (f == sys::kNoFile) return false;
  uint64_t size = 0;
  bool ok = sys::fileSize(f, size) && size <= kMaxThumbBytes;
  if (ok) {
    bytes.resize((size_t)size);
    size_t got = 0;
    while (ok && got < bytes.size()) {
      long long n = sys::readFromFile(f, &bytes[got], bytes.size() - got);
      ok = n > 0;
      if (ok) got += (size_t)n;
    }
  }
  sys::closeFile(f);
  return ok;
}

std::string currentFolder() {
  std::lock_guard<std::mutex> lock(thumbMutex);
  return cacheFolder;
}

}  // namespace

std::string thumbFileName(const ThumbKey& key) {
  std::string text = key.fullPath;
  text += '\0';
  text += std::to_string(key.fileSize) + ' ' + std::to_string(key.modified) + ' ' + std::to_string(key.size);
  return sys::sha256Hex(text) + kSuffix;
}

void openThumbCache(const std::string& folder, uint64_t maxBytes) {
  sys::createDirectories(folder);
  std::vector<sys::FolderEntry> entries;
  sys::listFolder(folder, entries);
  std::multimap<uint64_t, const sys::FolderEntry*> oldestFirst;
  std::vector<std::string> stray;
  for (const auto& e : entries) {
    if (e.isFolder) continue;
    if (isThumbName(e.name) && e.size <= kMaxThumbBytes)
      oldestFirst.emplace(e.modified, &e);
    else
      stray.push_back(sys::joinPath(folder, e.name));
  }
  std::vector<std::string> trimmed;
  {
    std::lock_guard<std::mutex> lock(thumbMutex);
    cacheFolder = folder;
    cacheBound = maxBytes;
    kept.clear();
    byLastUse.clear();
    totalBytes = 0;
    for (const auto& [modified, e] : oldestFirst) noteLocked(e->name, e->size);
    trimmed = trimLocked();
  }
  removeFiles(stray);
  removeFiles(trimmed);
}

bool findThumb(const std::string& name, std::string& jpeg) {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(thumbMutex);
    auto it = kept.find(name);
    if (it == kept.end() || cacheFolder.empty()) return false;
    byLastUse.erase(it->second.lastUse);
    it->second.lastUse = ++useCounter;
    byLastUse[it->second.lastUse] = name;
    path = sys::joinPath(cacheFolder, name);
  }
  if (readThumbFile(path, jpeg) && isWholeJpeg(jpeg)) return true;
  jpeg.clear();
  {
    std::lock_guard<std::mutex> lock(thumbMutex);
    forgetLocked(name);
  }
  sys::deleteFile(path);
  return false;
}

bool keepThumb(const std::string& name, const std::string& jpeg) {
  std::string folder = currentFolder();
  if (folder.empty()) return false;
  std::string path = sys::joinPath(folder, name);
  sys::TempFile f;
  if (!sys::createTempFile(folder, f)) return false;
  if (!sys::writeTempFile(f, jpeg.data(), jpeg.size())) {
    sys::discardTempFile(f);
    return false;
  }
  if (!sys::commitTempFile(f, path)) return false;
  std::vector<std::string> trimmed;
  {
    std::lock_guard<std::mutex> lock(thumbMutex);
    noteLocked(name, jpeg.size());
    trimmed = trimLocked();
  }
  removeFiles(trimmed);
  return true;
}

uint64_t thumbCacheBytes() {
  std::lock_guard<std::mutex> lock(thumbMutex);
  return totalBytes;
}

}  // namespace files
