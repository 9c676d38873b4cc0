#include "files/file_ops.h"

#include <vector>

#include "core/event_log.h"
#include "files/file_routes.h"
#include "files/paths.h"
#include "files/selection.h"
#include "http/response.h"
#include "http/router.h"
#include "sys/file_io.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

const char* makeFolder(const std::string& path) {
  switch (sys::pathKind(path)) {
    case sys::PathKind::Folder: return nullptr;
    case sys::PathKind::File: return "A file with that name already exists";
    case sys::PathKind::Missing: break;
  }
  return sys::createDirectories(path) ? nullptr : "Failed to create folder";
}

bool deletePath(const std::string& path) {
  switch (sys::pathKind(path)) {
    case sys::PathKind::Missing: return false;
    case sys::PathKind::Folder: return sys::removeEmptyFolder(path);
    case sys::PathKind::File: return sys::deleteFile(path);
  }
  return false;
}

namespace {

enum class Operation { Mkdir, Rmdir, Delete };

const char* const kUndecodableName = "Not found (name on disk is not valid UTF-8)";

// Listings show bytes of a name on disk that are not UTF-8 as U+FFFD, so
// such a name cannot be sent back; a miss on a name holding U+FFFD says so
// instead of a bare failure.
bool isUndecodableName(const std::string& clientText, const std::string& target) {
  return clientText.find("\xEF\xBF\xBD") != std::string::npos && sys::pathKind(target) == sys::PathKind::Missing;
}

void handleSingleEntry(http::Connection& c, const http::HttpRequest& r, Operation op) {
  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return;
  std::string name = http::jsonStringField(body, "name");
  if (name.empty()) {
    http::sendJson(c, 400, http::jsonError("Missing name"));
    return;
  }
  std::string path = http::jsonStringField(body, "path");
  std::string folder = resolveClientPath(path);
  if (folder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  std::string target = sys::joinPath(folder, name);
  if (!isPlainName(name)) {
    http::sendJson(c, 400, http::jsonError("Invalid name"));
    return;
  }
  // Ahead of the check below, where a path too long to form reads as invalid.
  if (op == Operation::Mkdir && (isNameTooLong(name) || !sys::folderPathFits(target))) {
    http::sendJson(c, 400, http::jsonError("Name too long"));
    return;
  }
  // However the name folds, an operation on an entry never reaches the web
  // root itself (nor leaves it).
  if (clientPathOf(target).empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid name"));
    return;
  }
  if (op != Operation::Mkdir && isUndecodableName(path + "/" + name, target)) {
    http::sendJson(c, 404, http::jsonError(kUndecodableName));
    return;
  }
  switch (op) {
    case Operation::Mkdir:
      if (const char* error = makeFolder(target)) {
        http::sendJson(c, 400, http::jsonError(error));
        return;
      }
      core::logEvent("MKDIR   " + target);
      http::sendJson(c, 200, http::jsonOk());
      return;
    case Operation::Rmdir:
      if (!sys::removeEmptyFolder(target)) {
        http::sendJson(c, 400, http::jsonError("Failed (folder must be empty)"));
        return;
      }
      core::logEvent("RMDIR   " + target);
      http::sendJson(c, 200, http::jsonOk());
      return;
    case Operation::Delete:
      if (!deletePath(target)) {
        http::sendJson(c, 400, http::jsonError("Failed to delete"));
        return;
      }
      core::logEvent("DELETE  " + target);
      http::sendJson(c, 200, http::jsonOk());
      return;
  }
}

void sendSharedJson(http::Connection& c, int status, const std::string& reason, const std::string& body) {
  http::sendResponse(c, status, reason, http::kTypeJson, body);
}

}  // namespace

void handleMkdir(http::Connection& c, const http::HttpRequest& r) { handleSingleEntry(c, r, Operation::Mkdir); }
void handleRmdir(http::Connection& c, const http::HttpRequest& r) { handleSingleEntry(c, r, Operation::Rmdir); }
void handleDelete(http::Connection& c, const http::HttpRequest& r) { handleSingleEntry(c, r, Operation::Delete); }

void handleDeleteMany(http::Connection& c, const http::HttpRequest& r) {
  Selection selection;
  if (!readSelectionOrReply(c, r, selection)) return;
  const std::string& folder = selection.folder;
  uint32_t deleted = 0, failed = 0;
  for (const std::string& name : selection.names) {
    std::string target = isPlainName(name) ? sys::joinPath(folder, name) : std::string();
    // Folders named here are never removed; they count as failed.
    if (!target.empty() && sys::pathKind(target) == sys::PathKind::File && sys::deleteFile(target)) {
      ++deleted;
      core::logEvent("DELETE  " + target);
    } else {
      ++failed;
    }
  }
  http::sendJson(c, 200,
                 http::jsonOk("\"deleted\":" + std::to_string(deleted) + ",\"failed\":" + std::to_string(failed)));
}

void handleSharedDelete(http::Connection& c, const http::HttpRequest& r) {
  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return;
  std::string name = http::jsonStringField(body, "name");
  if (!isPlainName(name)) {
    sendSharedJson(c, 400, "Bad Request", http::jsonError("Invalid name"));
    return;
  }
  std::string folder = resolveClientPath(r.sharedPath);
  if (folder.empty()) {
    sendSharedJson(c, 400, "Bad Request", http::jsonError("Invalid dir"));
    return;
  }
  std::string target = sys::joinPath(folder, name);
  sys::PathKind kind = sys::pathKind(target);
  if (kind == sys::PathKind::Missing) {
    const char* error = isUndecodableName(name, target) ? kUndecodableName : "Not found";
    sendSharedJson(c, 404, "Not Found", http::jsonError(error));
    return;
  }
  if (kind == sys::PathKind::Folder) {
    sendSharedJson(c, 400, "Bad Request", http::jsonError("Directories cannot be deleted here"));
    return;
  }
  if (!sys::deleteFile(target)) {
    sendSharedJson(c, 400, "Bad Request", http::jsonError("Failed to delete"));
    return;
  }
  core::logEvent("SHDIRDEL " + target);
  sendSharedJson(c, 200, "OK", http::jsonOk());
}

}  // namespace files
