// POST /api/tus and POST /d/<token>/tus: a new upload, its first bytes
// possibly in the same request.
#include "files/tus_metadata.h"
#include "files/tus_reply.h"
#include "files/tus_request.h"
#include "files/tus_routes.h"
#include "files/tus_state.h"
#include "files/tus_target.h"
#include "sys/clock.h"
#include "sys/file_io.h"
#include "sys/folders.h"
#include "sys/free_space.h"
#include "sys/fs.h"
#include "sys/partial_file.h"
#include "sys/random_bytes.h"

namespace files {

namespace {

constexpr size_t kIdBytes = 16;
constexpr size_t kMaxTimeDigits = 15;

// The metadata's target, time and overwrite choice; on failure it has answered.
bool describeOrReply(http::Connection& c, const http::HttpRequest& r, TusUpload& u) {
  TusMetadata metadata;
  if (!parseUploadMetadata(http::findHeader(r.headers, "upload-metadata"), metadata)) {
    sendTusError(c, r, 400, "Bad Request", "Invalid Upload-Metadata");
    return false;
  }
  TusTarget target;
  switch (resolveTusTarget(metadata, r.sharedPath, target)) {
    case TargetError::MissingName: sendTusError(c, r, 400, "Bad Request", "Missing filename"); return false;
    case TargetError::BadName: sendTusError(c, r, 400, "Bad Request", "Invalid name"); return false;
    case TargetError::BadPath: sendTusError(c, r, 400, "Bad Request", "Invalid path"); return false;
    case TargetError::None: break;
  }
  u.folder = target.folder;
  u.name = target.name;
  std::string modified, overwrite;
  if (metadataValue(metadata, "lastModified", modified) &&
      (modified.size() > kMaxTimeDigits || !parseCount(modified, u.modifiedMs))) {
    sendTusError(c, r, 400, "Bad Request", "Invalid lastModified");
    return false;
  }
  u.overwrite = metadataValue(metadata, "overwrite", overwrite) && overwrite == "1";
  return true;
}

// The folder made when missing, with room for the whole file; on failure it
// has answered.
bool prepareFolderOrReply(http::Connection& c, const http::HttpRequest& r, const TusUpload& u) {
  if (!sys::createDirectories(u.folder) || sys::pathKind(u.folder) != sys::PathKind::Folder) {
    sendTusError(c, r, 400, "Bad Request", "Invalid path");
    return false;
  }
  uint64_t room = 0;
  if (sys::freeSpace(u.folder, room) && u.length > room) {
    sendTusError(c, r, 413, "Payload Too Large", "Not enough free space on this computer");
    return false;
  }
  return true;
}

void removeExpired() {
  for (const TusUpload& gone : takeExpiredUploads(sys::nowSeconds())) discardUploadData(gone);
}

// The partial file and the table's record; on failure it has answered.
bool registerOrReply(http::Connection& c, const http::HttpRequest& r, TusUpload& u) {
  u.id = sys::randomHex(kIdBytes);
  u.owner = requestOwner(r);
  u.clientHost = r.clientHost;
  u.expiresAt = sys::nowSeconds() + kTusLifetimeSeconds;
  std::string partial = partialPathOf(u);
  if (u.id.empty() || !sys::createPartialFile(partial)) {
    sendTusError(c, r, 500, "Internal Server Error", "Failed to write file");
    return false;
  }
  if (addUpload(u) == Added::TooMany) {
    sys::deleteFile(partial);
    sendTusError(c, r, 429, "Too Many Requests", "Too many unfinished uploads");
    return false;
  }
  saveTusState(u);
  return true;
}

}  // namespace

void handleTusCreate(http::Connection& c, const http::HttpRequest& r) {
  if (!tusVersionOrReply(c, r)) return;
  TusUpload u;
  if (!parseCount(http::findHeader(r.headers, "upload-length"), u.length)) {
    sendTusError(c, r, 400, "Bad Request", "Missing or invalid Upload-Length");
    return;
  }
  uint64_t declared = isOffsetStream(r) ? http::declaredLength(r.headers) : 0;
  if (declared > 0 && http::isChunked(r.headers)) {
    sendTusError(c, r, 411, "Length Required", "Chunked upload not supported (needs Content-Length)");
    return;
  }
  if (declared > u.length) {
    sendTusError(c, r, 400, "Bad Request", "Body exceeds Upload-Length");
    return;
  }
  if (!describeOrReply(c, r, u) || !prepareFolderOrReply(c, r, u)) return;
  removeExpired();
  if (!registerOrReply(c, r, u)) return;

  http::HeaderList headers = {{"Location", r.path + "/" + u.id}};
  Settled settled;
  uint64_t offset = 0;
  // With data, or an empty file that is complete as it is created.
  if (declared > 0 || u.length == 0) {
    TusClaim claim;
    TusUpload claimed;
    if (claimUpload(u.id, u.owner, sys::nowSeconds(), kTakeOverWaitMs, claim, claimed) != Claimed::Yes) {
      sendTusError(c, r, 404, "Not Found", "Upload not found");
      return;
    }
    if (!writeBodyOrReply(c, r, declared, claim, claimed, offset, settled)) return;
    u = claimed;
  }
  http::HeaderList progress = progressHeaders(u, offset, settled);
  headers.insert(headers.end(), progress.begin(), progress.end());
  sendTusHead(c, 201, "Created", headers);
}

}  // namespace files
