// OPTIONS, HEAD, PATCH and DELETE of the resumable uploads.
#include "files/tus_routes.h"

#include "files/paths.h"
#include "files/tus_finished.h"
#include "files/tus_reply.h"
#include "files/tus_request.h"
#include "files/tus_state.h"
#include "files/web_root.h"
#include "sys/clock.h"
#include "sys/free_space.h"
#include "sys/fs.h"

namespace files {

namespace {

std::string idOf(const http::HttpRequest& r) { return r.path.substr(r.path.rfind('/') + 1); }

bool insideWebRoot(const std::string& folder) {
  return !clientPathOf(folder).empty() || sys::fullPath(folder) == sys::fullPath(webRoot());
}

// The upload the path names, claimed; on failure it has answered.
bool claimOrReply(http::Connection& c, const http::HttpRequest& r, TusClaim& claim, TusUpload& u) {
  switch (claimUpload(idOf(r), requestOwner(r), sys::nowSeconds(), kTakeOverWaitMs, claim, u)) {
    case Claimed::Yes:
      if (insideWebRoot(u.folder)) return true;
      // The web root has moved elsewhere since: the upload's folder is no longer served.
      releaseUpload(claim, u.offset, u.expiresAt);
      sendTusError(c, r, 404, "Not Found", "Upload not found");
      return false;
    case Claimed::NotFound: sendTusError(c, r, 404, "Not Found", "Upload not found"); return false;
    case Claimed::Busy: sendTusError(c, r, 423, "Locked", "Upload busy"); return false;
  }
  return false;
}

// A request for an upload that is complete already is answered from what
// was remembered of it: its client may have lost the last answer.
bool answeredAsFinished(http::Connection& c, const http::HttpRequest& r, uint64_t patchOffset = 0,
                        uint64_t patchLength = 0) {
  FinishedUpload f;
  if (!findFinished(idOf(r), requestOwner(r), sys::nowSeconds(), f)) return false;
  http::HeaderList done = {{"Upload-Offset", std::to_string(f.length)},
                           {"Upload-File-Name", percentEncode(f.storedName)}};
  if (r.method == "HEAD") {
    done.emplace_back("Upload-Length", std::to_string(f.length));
    done.emplace_back("Cache-Control", "no-store");
    sendTusHead(c, 200, "OK", done);
  } else if (r.method == "DELETE") {
    forgetFinished(f.id, f.owner);
    sendTusHead(c, 204, "No Content", {});
  } else if (patchOffset == f.length && patchLength == 0) {
    sendTusHead(c, 204, "No Content", done);
  } else {
    sendTusError(c, r, 409, "Conflict", "Upload-Offset does not match", done);
  }
  return true;
}

}  // namespace

void handleTusOptions(http::Connection& c, const http::HttpRequest&) {
  http::HeaderList headers = {{"Tus-Version", kTusVersion},
                              {"Tus-Extension", "creation,creation-with-upload,expiration,termination"}};
  // The largest upload the web root's volume can take right now.
  uint64_t room = 0;
  if (sys::freeSpace(webRoot(), room)) headers.emplace_back("Tus-Max-Size", std::to_string(room));
  sendTusHead(c, 204, "No Content", headers);
}

void handleTusHead(http::Connection& c, const http::HttpRequest& r) {
  if (!tusVersionOrReply(c, r) || answeredAsFinished(c, r)) return;
  TusClaim claim;
  TusUpload u;
  if (!claimOrReply(c, r, claim, u)) return;
  releaseUpload(claim, u.offset, u.expiresAt);
  sendTusHead(c, 200, "OK",
              {{"Upload-Offset", std::to_string(u.offset)},
               {"Upload-Length", std::to_string(u.length)},
               {"Upload-Expires", httpDateAt(u.expiresAt)},
               {"Cache-Control", "no-store"}});
}

void handleTusPatch(http::Connection& c, const http::HttpRequest& r) {
  if (!tusVersionOrReply(c, r)) return;
  if (!isOffsetStream(r)) {
    sendTusError(c, r, 415, "Unsupported Media Type", "Content-Type must be application/offset+octet-stream");
    return;
  }
  uint64_t from = 0;
  if (!parseCount(http::findHeader(r.headers, "upload-offset"), from)) {
    sendTusError(c, r, 400, "Bad Request", "Missing or invalid Upload-Offset");
    return;
  }
  if (http::isChunked(r.headers) || http::findHeader(r.headers, "content-length").empty()) {
    sendTusError(c, r, 411, "Length Required", "Content-Length required");
    return;
  }
  uint64_t declared = http::declaredLength(r.headers);
  if (answeredAsFinished(c, r, from, declared)) return;
  TusClaim claim;
  TusUpload u;
  if (!claimOrReply(c, r, claim, u)) return;
  if (from != u.offset) {
    releaseUpload(claim, u.offset, u.expiresAt);
    sendTusError(c, r, 409, "Conflict", "Upload-Offset does not match", {{"Upload-Offset", std::to_string(u.offset)}});
    return;
  }
  if (declared > u.length - u.offset) {
    releaseUpload(claim, u.offset, u.expiresAt);
    sendTusError(c, r, 400, "Bad Request", "Body exceeds Upload-Length");
    return;
  }
  uint64_t offset = u.offset;
  Settled settled;
  if (!writeBodyOrReply(c, r, declared, claim, u, offset, settled)) return;
  sendTusHead(c, 204, "No Content", progressHeaders(u, offset, settled));
}

void handleTusDelete(http::Connection& c, const http::HttpRequest& r) {
  if (!tusVersionOrReply(c, r) || answeredAsFinished(c, r)) return;
  TusClaim claim;
  TusUpload u;
  if (!claimOrReply(c, r, claim, u)) return;
  discardUploadData(u);
  dropUpload(claim);
  sendTusHead(c, 204, "No Content", {});
}

}  // namespace files
