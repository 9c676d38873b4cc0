#include "files/tus_request.h"

#include "core/ascii_case.h"
#include "files/tus_finish.h"
#include "files/tus_finished.h"
#include "files/tus_reply.h"
#include "files/tus_state.h"
#include "sys/clock.h"
#include "sys/sha256.h"

namespace files {

namespace {

constexpr size_t kShareTokenAt = 3;  // after "/d/"

}  // namespace

bool tusVersionOrReply(http::Connection& c, const http::HttpRequest& r) {
  if (http::findHeader(r.headers, "tus-resumable") == kTusVersion) return true;
  sendTusError(c, r, 412, "Precondition Failed", "Unsupported Tus-Resumable", {{"Tus-Version", kTusVersion}});
  return false;
}

bool isOffsetStream(const http::HttpRequest& r) {
  std::string type = http::findHeader(r.headers, "content-type");
  type = core::lowerAscii(type.substr(0, type.find(';')));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.pop_back();
  return type == "application/offset+octet-stream";
}

bool parseCount(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return value <= (uint64_t)INT64_MAX;
}

std::string requestOwner(const http::HttpRequest& r) {
  if (r.sharedPath.empty()) return {};
  std::string rest = r.path.substr(kShareTokenAt);
  return sys::sha256Hex(rest.substr(0, rest.find('/')));
}

Settled settleUpload(TusClaim& claim, TusUpload& u, uint64_t offset) {
  Settled s;
  u.offset = offset;
  if (offset == u.length) {
    s.storedName = placeUpload(u);
    if (!s.storedName.empty()) {
      rememberFinished({u.id, u.owner, s.storedName, u.length, sys::nowSeconds()});
      removeTusState(u.id);
      dropUpload(claim);
      return s;
    }
    s.failed = true;
  } else {
    u.expiresAt = sys::nowSeconds() + kTusLifetimeSeconds;
    saveTusState(u);
  }
  releaseUpload(claim, offset, u.expiresAt);
  return s;
}

http::HeaderList progressHeaders(const TusUpload& u, uint64_t offset, const Settled& s) {
  http::HeaderList h = {{"Upload-Offset", std::to_string(offset)}};
  if (!s.storedName.empty())
    h.emplace_back("Upload-File-Name", percentEncode(s.storedName));
  else
    h.emplace_back("Upload-Expires", httpDateAt(u.expiresAt));
  return h;
}

bool writeBodyOrReply(http::Connection& c, const http::HttpRequest& r, uint64_t declared, TusClaim& claim,
                      TusUpload& u, uint64_t& offset, Settled& settled) {
  BodyOutcome outcome = appendBody(c, r, declared, claim, u, offset);
  if (outcome == BodyOutcome::OffsetMoved) {
    releaseUpload(claim, offset, u.expiresAt);
    sendTusError(c, r, 409, "Conflict", "Upload-Offset does not match", {{"Upload-Offset", std::to_string(offset)}});
    return false;
  }
  settled = settleUpload(claim, u, offset);
  http::HeaderList progress = {{"Upload-Offset", std::to_string(offset)}};
  if (settled.failed || outcome == BodyOutcome::WriteFailed) {
    sendTusError(c, r, 500, "Internal Server Error", "Failed to write file", progress);
    return false;
  }
  if (outcome == BodyOutcome::TakenOver) {
    sendTusError(c, r, 409, "Conflict", "Upload continued by a newer request", progress);
    return false;
  }
  if (outcome == BodyOutcome::ReadFailed) {
    sendTusError(c, r, 400, "Bad Request", "Upload aborted", progress);
    return false;
  }
  return true;
}

}  // namespace files
