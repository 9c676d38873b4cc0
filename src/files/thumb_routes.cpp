// GET /api/thumb and GET /d/<token>/thumb: a small JPEG of a photo, from
// the cache when it is there, else made in turn.
#include <cstdio>
#include <string>

#include "files/download.h"
#include "files/file_routes.h"
#include "files/paths.h"
#include "files/thumb_cache.h"
#include "files/thumb_failures.h"
#include "files/thumb_queue.h"
#include "http/conditional.h"
#include "http/response.h"
#include "sys/folders.h"
#include "sys/fs.h"
#include "sys/net.h"
#include "sys/thumbnail.h"

namespace files {

namespace {

const char kCacheControl[] = "private, max-age=86400";

int askedSize(const http::HttpRequest& r) {
  std::string s = http::queryParam(r.query, "size");
  if (s == "160") return 160;
  if (s == "320") return 320;
  if (s == "640") return 640;
  return 0;
}

bool keyOf(const std::string& path, int size, ThumbKey& key) {
  sys::FileHandle f = sys::openForReading(path);
  if (f == sys::kNoFile) return false;
  key.fullPath = path;
  key.size = size;
  bool ok = sys::fileSize(f, key.fileSize) && sys::fileModifiedSeconds(f, key.modified);
  sys::closeFile(f);
  return ok;
}

// Tagged by what the preview is made of, so the tag is known before any
// decoding and a browser's reload costs a stat.
std::string thumbEtag(const ThumbKey& key) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "\"%llx-%llx-p%d\"", (unsigned long long)key.fileSize,
                (unsigned long long)key.modified, key.size);
  return buf;
}

void sendNoPreview(http::Connection& c) { http::sendJson(c, 404, http::jsonError("No preview")); }

// A GET carries no body, so a socket that turns readable while the
// request waits means the client has closed (or reset) its connection.
bool clientStillThere(http::Connection& c, const http::HttpRequest& r) {
  if (http::declaredLength(r.headers) != 0 || http::isChunked(r.headers)) return true;
  return sys::waitReadable(c.socket, 0) == 0;
}

struct TurnGuard {
  ~TurnGuard() { endTurn(); }
};

// The preview's bytes from the cache or newly made. False when the file
// gives none (the answer is sent) or the client left while it waited
// (nothing is sent).
bool previewOrReply(http::Connection& c, const http::HttpRequest& r, const ThumbKey& key, std::string& jpeg) {
  std::string name = thumbFileName(key);
  if (isRememberedNoPreview(name)) {
    sendNoPreview(c);
    return false;
  }
  if (findThumb(name, jpeg)) return true;
  if (!awaitTurn([&] { return clientStillThere(c, r); })) return false;
  TurnGuard turn;
  // Another request for the same preview may have made it, or failed, meanwhile.
  if (isRememberedNoPreview(name)) {
    sendNoPreview(c);
    return false;
  }
  if (findThumb(name, jpeg)) return true;
  if (sys::makePreview(key.fullPath, key.size, jpeg) != sys::Preview::Made) {
    rememberNoPreview(name);
    sendNoPreview(c);
    return false;
  }
  keepThumb(name, jpeg);
  return true;
}

void answerThumb(http::Connection& c, const http::HttpRequest& r, const std::string& path, int size) {
  ThumbKey key;
  if (!keyOf(path, size, key)) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return;
  }
  std::string etag = thumbEtag(key);
  http::HeaderList extra = {{"X-Content-Type-Options", "nosniff"}, {"Cache-Control", kCacheControl}, {"ETag", etag}};
  if (http::etagMatches(http::findHeader(r.headers, "if-none-match"), etag)) {
    http::sendAll(c, "HTTP/1.1 304 Not Modified\r\nDate: " + http::httpDate() +
                         "\r\nServer: HTTPVantrel\r\nConnection: close\r\nCache-Control: " + kCacheControl +
                         "\r\nETag: " + etag + "\r\n\r\n");
    return;
  }
  std::string jpeg;
  if (!previewOrReply(c, r, key, jpeg)) return;
  http::sendResponse(c, 200, "OK", "image/jpeg", jpeg, extra);
}

bool isFile(const std::string& path) { return sys::pathKind(path) == sys::PathKind::File; }

}  // namespace

void handleThumb(http::Connection& c, const http::HttpRequest& r) {
  std::string path = resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (path.empty()) {
    http::sendText(c, 400, "Bad Request", "Invalid path");
    return;
  }
  int size = askedSize(r);
  if (size == 0) {
    http::sendText(c, 400, "Bad Request", "Invalid size");
    return;
  }
  if (!isFile(path)) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return;
  }
  answerThumb(c, r, path, size);
}

void handleSharedThumb(http::Connection& c, const http::HttpRequest& r) {
  std::string path;
  if (!sharedFileOrReply(c, r, path)) return;
  int size = askedSize(r);
  if (size == 0) {
    http::sendText(c, 400, "Bad Request", "Invalid size");
    return;
  }
  answerThumb(c, r, path, size);
}

}  // namespace files
