#include "auth/share_table.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "files/paths.h"
#include "sys/clock.h"
#include "sys/random_bytes.h"
#include "sys/sha256.h"

namespace auth {

namespace {
// Written by start-up before any connection thread exists, then only read.
std::string shareSecret;

std::mutex shareMutex;
std::unordered_map<std::string, ShareEntry> shareTable;
}  // namespace

bool initShareSecret() {
  shareSecret = sys::randomHex(32);
  clearShares();
  return !shareSecret.empty();
}

std::string shareToken(const std::string& path, bool isFolder, uint64_t expiresAt) {
  std::string nonce = sys::randomHex(16);
  if (nonce.empty()) return {};
  std::string text = shareSecret + "|" + (isFolder ? "D" : "F") + "|" + path + "|" + std::to_string(expiresAt) +
                     "|" + nonce;
  return sys::sha256Hex(text);
}

std::string createShare(const std::string& path, bool isFolder) {
  return createShareUntil(path, isFolder, sys::nowSeconds() + kShareLifetimeSeconds);
}

std::string createShareUntil(const std::string& path, bool isFolder, uint64_t expiresAt) {
  std::string p = files::normalizeClientPath(path);
  if (p.empty()) return {};
  std::string token = shareToken(p, isFolder, expiresAt);
  if (token.empty()) return {};
  std::lock_guard<std::mutex> lock(shareMutex);
  shareTable[token] = ShareEntry{p, expiresAt, isFolder};
  return token;
}

bool lookupShare(const std::string& token, ShareEntry& entry) {
  uint64_t now = sys::nowSeconds();
  std::lock_guard<std::mutex> lock(shareMutex);
  auto it = shareTable.find(token);
  if (it == shareTable.end()) return false;
  if (it->second.expiresAt > now) {
    entry = it->second;
    return true;
  }
  shareTable.erase(it);
  return false;
}

void clearShares() {
  std::lock_guard<std::mutex> lock(shareMutex);
  shareTable.clear();
}

std::vector<std::pair<std::string, ShareEntry>> liveShares() {
  uint64_t now = sys::nowSeconds();
  std::vector<std::pair<std::string, ShareEntry>> live;
  {
    std::lock_guard<std::mutex> lock(shareMutex);
    for (auto it = shareTable.begin(); it != shareTable.end();) {
      if (it->second.expiresAt > now) {
        live.emplace_back(it->first, it->second);
        ++it;
      } else {
        it = shareTable.erase(it);
      }
    }
  }
  std::sort(live.begin(), live.end(), [](const auto& a, const auto& b) {
    return a.second.expiresAt != b.second.expiresAt ? a.second.expiresAt < b.second.expiresAt : a.first < b.first;
  });
  return live;
}

bool endShare(const std::string& token) {
  uint64_t now = sys::nowSeconds();
  std::lock_guard<std::mutex> lock(shareMutex);
  auto it = shareTable.find(token);
  if (it == shareTable.end()) return false;
  bool live = it->second.expiresAt > now;
  shareTable.erase(it);
  return live;
}

uint64_t shareLifetimeSeconds(const std::string& hoursText) {
  constexpr size_t kMaxDigits = 4;
  if (hoursText.empty() || hoursText.size() > kMaxDigits ||
      hoursText.find_first_not_of("0123456789") != std::string::npos)
    return kShareLifetimeSeconds;
  uint64_t hours = std::stoull(hoursText);
  return hours >= 1 && hours <= kMaxShareHours ? hours * 3600 : kShareLifetimeSeconds;
}

}  // namespace auth
