#include "files/listing.h"

#include <vector>

#include "files/file_routes.h"
#include "files/names.h"
#include "files/paths.h"
#include "http/conditional.h"
#include "http/response.h"
#include "sys/fs.h"

namespace files {

namespace {

// Reserved names belong to uploads in progress, not to the folder's content.
bool isHiddenEntry(const std::string& name) { return name == "." || name == ".." || isReservedName(name); }

std::string joinItems(const std::vector<std::string>& items) {
  std::string out = "\"items\":[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    out += items[i];
  }
  out += ']';
  return http::jsonOk(out);
}

}  // namespace

bool listDirectory(const std::string& folder, std::string& json, std::string& error) {
  if (sys::pathKind(folder) != sys::PathKind::Folder) {
    error = "Directory not found";
    return false;
  }
  std::vector<sys::FolderEntry> entries;
  sys::listFolder(folder, entries);
  std::vector<std::string> items;
  items.reserve(entries.size());
  for (const auto& e : entries) {
    if (isHiddenEntry(e.name)) continue;
    std::string item = "{\"name\":\"" + http::jsonEscape(e.name) + "\",\"type\":";
    item += e.isFolder ? "\"dir\"" : "\"file\",\"size\":" + std::to_string(e.size);
    item += ",\"modified\":" + std::to_string(e.modified) + "}";
    items.push_back(std::move(item));
  }
  json = joinItems(items);
  return true;
}

std::string listSharedFolder(const std::string& folder) {
  std::vector<sys::FolderEntry> entries;
  sys::listFolder(folder, entries);
  std::vector<std::string> items;
  for (const auto& e : entries) {
    if (e.isFolder || isHiddenEntry(e.name)) continue;
    items.push_back("{\"name\":\"" + http::jsonEscape(e.name) + "\",\"size\":" + std::to_string(e.size) +
                    ",\"modified\":" + std::to_string(e.modified) + "}");
  }
  return joinItems(items);
}

void handleList(http::Connection& c, const http::HttpRequest& r) {
  std::string folder = resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (folder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  std::string json, error;
  if (!listDirectory(folder, json, error)) {
    http::sendJson(c, 404, http::jsonError(error));
    return;
  }
  http::sendTagged(c, r, 200, "OK", http::kTypeJson, json);
}

void handleSharedList(http::Connection& c, const http::HttpRequest& r) {
  std::string folder = resolveClientPath(r.sharedPath);
  if (folder.empty()) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return;
  }
  if (sys::pathKind(folder) != sys::PathKind::Folder) {
    http::sendResponse(c, 404, "Not Found", http::kTypeJson, http::jsonError("Directory not found"));
    return;
  }
  http::sendTagged(c, r, 200, "OK", http::kTypeJson, listSharedFolder(folder));
}

}  // namespace files
