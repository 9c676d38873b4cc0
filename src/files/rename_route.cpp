#include "core/event_log.h"
#include "files/file_ops.h"
#include "files/file_routes.h"
#include "files/names.h"
#include "files/paths.h"
#include "http/response.h"
#include "http/router.h"
#include "sys/entry_move.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

void handleRename(http::Connection& c, const http::HttpRequest& r) {
  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return;
  std::string name = http::jsonStringField(body, "name");
  std::string newName = http::jsonStringField(body, "newName");
  if (name.empty()) {
    http::sendJson(c, 400, http::jsonError("Missing name"));
    return;
  }
  std::string folder = resolveClientPath(http::jsonStringField(body, "path"));
  if (folder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  if (isNameTooLong(newName)) {
    http::sendJson(c, 400, http::jsonError("Name too long"));
    return;
  }
  std::string from = sys::joinPath(folder, name), to = sys::joinPath(folder, newName);
  // However either name folds, neither reaches the web root itself nor leaves it.
  if (!isPlainName(name) || !isNewEntryName(newName) || clientPathOf(from).empty() || clientPathOf(to).empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid name"));
    return;
  }
  // Windows would take a rename onto the very same name as done.
  if (newName == name) {
    http::sendJson(c, 409, http::jsonError(kNameTakenError));
    return;
  }
  switch (sys::renameNoReplace(from, to)) {
    case sys::Renamed::Done:
      core::logEvent("RENAME  " + from + " -> " + to);
      http::sendJson(c, 200, http::jsonOk());
      return;
    case sys::Renamed::NameTaken: http::sendJson(c, 409, http::jsonError(kNameTakenError)); return;
    case sys::Renamed::Missing: http::sendJson(c, 404, http::jsonError("Not found")); return;
    case sys::Renamed::OtherVolume:
    case sys::Renamed::Failed: http::sendJson(c, 400, http::jsonError("Failed to rename")); return;
  }
}

}  // namespace files
