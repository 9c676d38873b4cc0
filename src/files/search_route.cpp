#include <chrono>
#include <deque>
#include <vector>

#include "files/file_routes.h"
#include "files/name_fold.h"
#include "files/names.h"
#include "files/paths.h"
#include "http/response.h"
#include "sys/folder_walk.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

namespace {

constexpr size_t kMaxSearchResults = 500;
constexpr size_t kMaxSearchTextBytes = 200;
// A phone waits for the answer; a tree too large to walk in this time gets
// what was found so far.
constexpr std::chrono::milliseconds kSearchBudget{2000};

struct PendingFolder {
  std::string full;    // on disk
  std::string client;  // "" for the web root
};

std::string itemOf(const PendingFolder& folder, const sys::WalkEntry& e) {
  bool isFolder = e.kind == sys::EntryKind::Folder;
  std::string item = "{\"path\":\"" + http::jsonEscape(folder.client) + "\",\"name\":\"" + http::jsonEscape(e.name) +
                     "\",\"type\":\"" + (isFolder ? "dir\"" : "file\",\"size\":" + std::to_string(e.size));
  return item + ",\"modified\":" + std::to_string(e.modified) + "}";
}

}  // namespace

// Breadth first, so that the nearest matches come first and are the ones
// kept when the answer is cut. Links are neither reported nor followed:
// none can lead the walk out of the web root.
void handleSearch(http::Connection& c, const http::HttpRequest& r) {
  std::string text = http::urlDecode(http::queryParam(r.query, "q"));
  if (text.empty() || text.size() > kMaxSearchTextBytes) {
    http::sendJson(c, 400, http::jsonError(text.empty() ? "Missing search text" : "Search text too long"));
    return;
  }
  std::string start = resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (start.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  if (sys::pathKind(start) != sys::PathKind::Folder) {
    http::sendJson(c, 404, http::jsonError("Directory not found"));
    return;
  }
  const std::u32string needle = foldText(text);
  const auto deadline = std::chrono::steady_clock::now() + kSearchBudget;
  std::deque<PendingFolder> pending{{start, clientPathOf(start)}};
  std::vector<sys::WalkEntry> entries;
  std::string items;
  size_t found = 0;
  bool truncated = false;
  while (!pending.empty() && !truncated) {
    if (std::chrono::steady_clock::now() >= deadline) {
      truncated = true;
      break;
    }
    PendingFolder folder = std::move(pending.front());
    pending.pop_front();
    if (!sys::walkFolder(folder.full, entries)) continue;
    for (const sys::WalkEntry& e : entries) {
      bool isFolder = e.kind == sys::EntryKind::Folder;
      if ((!isFolder && e.kind != sys::EntryKind::File) || isReservedName(e.name)) continue;
      if (isFolder)
        pending.push_back({sys::joinPath(folder.full, e.name),
                           folder.client.empty() ? e.name : folder.client + "/" + e.name});
      if (!nameContainsFolded(e.name, needle)) continue;
      if (found == kMaxSearchResults) {
        truncated = true;
        break;
      }
      if (found++) items += ',';
      items += itemOf(folder, e);
    }
  }
  http::sendJson(c, 200,
                 http::jsonOk("\"items\":[" + items + "],\"truncated\":" + (truncated ? "true" : "false")));
}

}  // namespace files
