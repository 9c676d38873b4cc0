#include <vector>

#include "core/event_log.h"
#include "files/file_ops.h"
#include "files/file_routes.h"
#include "files/names.h"
#include "files/paths.h"
#include "files/tree_copy.h"
#include "http/response.h"
#include "http/router.h"
#include "sys/entry_move.h"
#include "sys/folders.h"
#include "sys/fs.h"
#include "sys/random_bytes.h"

namespace files {

namespace {

enum class Outcome { Moved, InvalidName, NameTaken, Missing, Failed };

const char* errorOf(Outcome o) {
  switch (o) {
    case Outcome::InvalidName: return "Invalid name";
    case Outcome::NameTaken: return kNameTakenError;
    case Outcome::Missing: return "Not found";
    default: return "Failed to move";
  }
}

// Another volume: the copy is made under a reserved name in the target
// folder, which nothing lists or serves, and takes the final name only when
// complete; the original goes last.
Outcome moveAcrossVolumes(const std::string& from, const std::string& to, const std::string& toFolder) {
  if (sys::pathKind(to) != sys::PathKind::Missing) return Outcome::NameTaken;
  std::string nonce = sys::randomHex(8);
  if (nonce.empty()) return Outcome::Failed;
  std::string temp = sys::joinPath(toFolder, partialFileName("move-" + nonce));
  if (!copyTree(from, temp)) {
    removeTree(temp);
    return Outcome::Failed;
  }
  sys::Renamed placed = sys::renameNoReplace(temp, to);
  if (placed != sys::Renamed::Done) {
    removeTree(temp);
    return placed == sys::Renamed::NameTaken ? Outcome::NameTaken : Outcome::Failed;
  }
  // The whole copy is in place: whatever of the original cannot be removed
  // stays as a second copy rather than a loss.
  if (!removeTree(from)) core::logEvent("MOVE    original not removed entirely: " + from);
  return Outcome::Moved;
}

Outcome moveEntry(const std::string& from, const std::string& to, const std::string& toFolder) {
  switch (sys::renameNoReplace(from, to)) {
    case sys::Renamed::Done: return Outcome::Moved;
    case sys::Renamed::NameTaken: return Outcome::NameTaken;
    case sys::Renamed::Missing: return Outcome::Missing;
    case sys::Renamed::OtherVolume: return moveAcrossVolumes(from, to, toFolder);
    case sys::Renamed::Failed: break;
  }
  return Outcome::Failed;
}

std::string jsonNames(const std::vector<std::string>& names) {
  std::string out = "[";
  for (size_t i = 0; i < names.size(); ++i) out += (i ? ",\"" : "\"") + http::jsonEscape(names[i]) + "\"";
  return out + "]";
}

}  // namespace

void handleMove(http::Connection& c, const http::HttpRequest& r) {
  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return;
  std::vector<std::string> names;
  if (!http::jsonStringArray(body, "names", names) || names.empty()) {
    http::sendJson(c, 400, http::jsonError("Missing names[]"));
    return;
  }
  std::string folder = resolveClientPath(http::jsonStringField(body, "path"));
  std::string toFolder = resolveClientPath(http::jsonStringField(body, "to"));
  if (folder.empty() || toFolder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  if (sys::pathKind(toFolder) != sys::PathKind::Folder) {
    http::sendJson(c, 404, http::jsonError("Directory not found"));
    return;
  }
  std::string toClient = clientPathOf(toFolder);
  // A folder moved into itself or below would vanish into its own copy; such
  // a request moves nothing at all.
  for (const std::string& name : names) {
    std::string from = sys::joinPath(folder, name);
    std::string fromClient = isPlainName(name) ? clientPathOf(from) : std::string();
    if (!fromClient.empty() && sys::pathKind(from) == sys::PathKind::Folder && isSameOrBelow(toClient, fromClient)) {
      http::sendJson(c, 400, http::jsonError("A folder cannot be moved into itself"));
      return;
    }
  }
  std::vector<std::string> skipped;
  Outcome firstRefusal = Outcome::Moved;
  for (const std::string& name : names) {
    std::string from = sys::joinPath(folder, name), to = sys::joinPath(toFolder, name);
    std::string fromClient = isPlainName(name) ? clientPathOf(from) : std::string();
    std::string toEntryClient = clientPathOf(to);
    Outcome o;
    if (fromClient.empty() || toEntryClient.empty())
      o = Outcome::InvalidName;
    else if (isSameOrBelow(toEntryClient, fromClient))
      o = Outcome::NameTaken;  // already there: the target folder is its own
    else
      o = moveEntry(from, to, toFolder);
    if (o == Outcome::Moved) {
      core::logEvent("MOVE    " + from + " -> " + to);
      continue;
    }
    if (skipped.empty()) firstRefusal = o;
    skipped.push_back(name);
  }
  std::string members = "\"skipped\":" + jsonNames(skipped);
  if (skipped.size() == names.size()) {
    http::sendJson(c, 409,
                   "{\"ok\":false,\"error\":\"" + http::jsonEscape(errorOf(firstRefusal)) + "\"," + members + "}");
    return;
  }
  http::sendJson(c, 200, http::jsonOk(members));
}

}  // namespace files
