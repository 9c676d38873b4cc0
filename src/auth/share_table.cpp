#include "auth/share_table.h"

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
  std::string p = files::normalizeClientPath(path);
  if (p.empty()) return {};
  uint64_t expiresAt = sys::nowSeconds() + kShareLifetimeSeconds;
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

}  // namespace auth
