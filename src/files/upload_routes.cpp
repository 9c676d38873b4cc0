// POST /upload and POST /d/<token>/upload.
#include "files/file_routes.h"
#include "files/multipart.h"
#include "files/paths.h"
#include "files/upload.h"
#include "http/response.h"

namespace files {

namespace {

bool receiveInto(http::Connection& c, const http::HttpRequest& r, const std::string& folder,
                 const std::string& boundary, std::string& error) {
  http::continueIfExpected(c, r);
  ReadFn read = [&c](char* buffer, int capacity) { return http::readSome(c, buffer, capacity); };
  bool ok = receiveMultipart(read, r.bodyPrefix, folder, boundary, http::declaredLength(r.headers), error);
  if (!ok && error.empty()) error = "Upload failed";
  return ok;
}

bool hasContentLength(const http::HttpRequest& r) { return !http::findHeader(r.headers, "content-length").empty(); }

}  // namespace

void handleUpload(http::Connection& c, const http::HttpRequest& r) {
  if (http::isChunked(r.headers)) {
    http::sendJson(c, 411, http::jsonError("Chunked upload not supported (needs Content-Length)"));
    return;
  }
  std::string folder = resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (folder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  std::string boundary;
  if (!extractBoundary(http::findHeader(r.headers, "content-type"), boundary)) {
    http::sendJson(c, 400, http::jsonError("Missing multipart boundary"));
    return;
  }
  if (!hasContentLength(r)) {
    http::sendJson(c, 411, http::jsonError("Content-Length required"));
    return;
  }
  std::string error;
  if (receiveInto(c, r, folder, boundary, error))
    http::sendJson(c, 200, http::jsonOk());
  else
    http::sendJson(c, 400, http::jsonError(error));
}

void handleSharedUpload(http::Connection& c, const http::HttpRequest& r) {
  if (http::isChunked(r.headers)) {
    http::sendText(c, 411, "Length Required", "Chunked upload not supported");
    return;
  }
  std::string folder = resolveClientPath(r.sharedPath);
  if (folder.empty()) {
    http::sendText(c, 400, "Bad Request", "Invalid dir");
    return;
  }
  std::string boundary;
  if (!extractBoundary(http::findHeader(r.headers, "content-type"), boundary)) {
    http::sendText(c, 400, "Bad Request", "Missing multipart boundary");
    return;
  }
  if (!hasContentLength(r)) {
    http::sendText(c, 411, "Length Required", "Content-Length required");
    return;
  }
  std::string error;
  if (receiveInto(c, r, folder, boundary, error))
    http::sendResponse(c, 200, "OK", http::kTypeJson, http::jsonOk());
  else
    http::sendText(c, 400, "Bad Request", error);
}

}  // namespace files
