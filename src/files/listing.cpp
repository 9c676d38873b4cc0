#include "files/listing.h"

#include <vector>

#include "files/file_routes.h"
#include "files/names.h"
#include "files/paths.h"
#include "http/conditional.h"
#include "http/response.h"
#include "sys/folder_watch.h"
#include "sys/fs.h"

namespace files {

namespace {

// Reserved names belong to uploads in progress, not to the folder's content.
bool isHiddenEntry(const std::string& name) { return name == "." || name == ".." || isReservedName(name); }

bool isShown(const sys::FolderEntry& e, ListingKind kind) {
  return !isHiddenEntry(e.name) && (kind == ListingKind::Folder || !e.isFolder);
}

// Written straight into the answer: a large folder makes no string per entry.
void appendItem(std::string& out, const sys::FolderEntry& e, ListingKind kind) {
  out += "{\"name\":\"";
  out += http::jsonEscape(e.name);
  out += "\",";
  if (kind == ListingKind::Folder) {
    out += "\"type\":";
    out += e.isFolder ? "\"dir\"" : "\"file\",\"size\":";
    if (!e.isFolder) out += std::to_string(e.size);
  } else {
    out += "\"size\":";
    out += std::to_string(e.size);
  }
  out += ",\"modified\":";
  out += std::to_string(e.modified);
  out += '}';
}

// Read now; complete is false when the folder could not be enumerated, and
// such an answer is not kept.
Listing readListing(const std::string& folder, ListingKind kind, bool& complete) {
  std::vector<sys::FolderEntry> entries;
  complete = sys::listFolder(folder, entries);
  auto answer = std::make_shared<KeptListing>();
  std::string items = "\"items\":[";
  items.reserve(entries.size() * 80);
  bool first = true;
  for (const auto& e : entries) {
    if (!isShown(e, kind)) continue;
    if (!first) items += ',';
    first = false;
    appendItem(items, e, kind);
    if (e.changesElsewhere) answer->recheck.push_back(e);
  }
  items += ']';
  answer->body = http::jsonOk(items);
  answer->etag = http::bodyEtag(answer->body);
  return answer;
}

bool stillAsListed(const std::string& folder, const std::vector<sys::FolderEntry>& recheck) {
  sys::FolderEntry now;
  for (const auto& e : recheck)
    if (!sys::entryStatus(folder, e.name, now) || now.isFolder != e.isFolder || now.size != e.size ||
        now.modified != e.modified)
      return false;
  return true;
}

}  // namespace

Listing folderListing(const std::string& folder, ListingKind kind) {
  bool complete = false;
  sys::FolderIdentity identity;
  if (!sys::folderIdentity(folder, identity)) {
    if (sys::pathKind(folder) != sys::PathKind::Folder) return nullptr;
    return readListing(folder, kind, complete);  // a folder that cannot be told apart is not kept
  }
  uint64_t stamp = 0;
  Listing kept = findListing(folder, identity, kind, stamp);
  if (kept && stillAsListed(folder, kept->recheck)) return kept;
  Listing fresh = readListing(folder, kind, complete);
  if (complete) keepListing(folder, kind, stamp, fresh);
  return fresh;
}

void handleList(http::Connection& c, const http::HttpRequest& r) {
  std::string folder = resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (folder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  Listing listing = folderListing(folder, ListingKind::Folder);
  if (!listing) {
    http::sendJson(c, 404, http::jsonError("Directory not found"));
    return;
  }
  http::sendTagged(c, r, 200, "OK", http::kTypeJson, listing->body, listing->etag);
}

void handleSharedList(http::Connection& c, const http::HttpRequest& r) {
  std::string folder = resolveClientPath(r.sharedPath);
  if (folder.empty()) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return;
  }
  Listing listing = folderListing(folder, ListingKind::Shared);
  if (!listing) {
    http::sendResponse(c, 404, "Not Found", http::kTypeJson, http::jsonError("Directory not found"));
    return;
  }
  http::sendTagged(c, r, 200, "OK", http::kTypeJson, listing->body, listing->etag);
}

}  // namespace files
