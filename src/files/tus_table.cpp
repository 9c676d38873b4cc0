#include "files/tus_table.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "files/names.h"
#include "sys/folders.h"

namespace files {

namespace {

struct Slot {
  TusUpload upload;
  uint64_t generation = 0;  // of the latest request that asked for it
  bool held = false;        // a request holds its claim
};

std::mutex tableMutex;
std::condition_variable claimLetGo;
std::map<std::string, Slot> table;

}  // namespace

std::string partialPathOf(const TusUpload& u) { return sys::joinPath(u.folder, partialFileName(u.id)); }

Added addUpload(const TusUpload& u) {
  std::lock_guard<std::mutex> lock(tableMutex);
  size_t count = 0;
  for (const auto& entry : table)
    if (entry.second.upload.clientHost == u.clientHost) ++count;
  if (count >= kMaxUploadsPerClient) return Added::TooMany;
  table[u.id].upload = u;
  return Added::Yes;
}

void restoreUpload(const TusUpload& u) {
  std::lock_guard<std::mutex> lock(tableMutex);
  table[u.id].upload = u;
}

std::vector<TusUpload> takeExpiredUploads(uint64_t now) {
  std::vector<TusUpload> out;
  std::lock_guard<std::mutex> lock(tableMutex);
  for (auto it = table.begin(); it != table.end();) {
    if (!it->second.held && it->second.upload.expiresAt <= now) {
      out.push_back(std::move(it->second.upload));
      it = table.erase(it);
    } else {
      ++it;
    }
  }
  return out;
}

void clearUploads() {
  std::lock_guard<std::mutex> lock(tableMutex);
  table.clear();
}

Claimed claimUpload(const std::string& id, const std::string& owner, uint64_t now, int waitMs, TusClaim& claim,
                    TusUpload& u) {
  std::unique_lock<std::mutex> lock(tableMutex);
  auto it = table.find(id);
  if (it == table.end() || it->second.upload.owner != owner) return Claimed::NotFound;
  // An upload being written is not expired: its expiry moves on when the write ends.
  if (!it->second.held && it->second.upload.expiresAt <= now) return Claimed::NotFound;
  uint64_t mine = ++it->second.generation;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    it = table.find(id);
    if (it == table.end()) return Claimed::NotFound;
    // A still newer request has asked meanwhile: it goes first.
    if (it->second.generation != mine) return Claimed::Busy;
    if (!it->second.held) break;
    if (std::chrono::steady_clock::now() >= deadline) return Claimed::Busy;
    claimLetGo.wait_until(lock, deadline);
  }
  it->second.held = true;
  claim.id = id;
  claim.generation = mine;
  u = it->second.upload;
  return Claimed::Yes;
}

bool stillClaimed(const TusClaim& claim) {
  std::lock_guard<std::mutex> lock(tableMutex);
  auto it = table.find(claim.id);
  return it != table.end() && it->second.generation == claim.generation;
}

void releaseUpload(TusClaim& claim, uint64_t offset, uint64_t expiresAt) {
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    auto it = table.find(claim.id);
    if (it != table.end()) {
      it->second.held = false;
      it->second.upload.offset = offset;
      it->second.upload.expiresAt = expiresAt;
    }
  }
  claim.generation = 0;
  claimLetGo.notify_all();
}

void dropUpload(TusClaim& claim) {
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    table.erase(claim.id);
  }
  claim.generation = 0;
  claimLetGo.notify_all();
}

}  // namespace files
