#include "files/download.h"

#include <memory>

#include "core/event_log.h"
#include "files/file_routes.h"
#include "files/inline_types.h"
#include "files/paths.h"
#include "http/byte_ranges.h"
#include "http/response.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

std::string baseName(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string dispositionName(const std::string& name) {
  std::string out = name;
  for (char& ch : out)
    if (ch == '"' || (unsigned char)ch < 0x20 || ch == 0x7f) ch = '_';
  return out;
}

bool streamFile(http::Connection& c, const http::HttpRequest& r, const std::string& path,
                const std::string& downloadName) {
  sys::FileHandle f = sys::openForReading(path);
  if (f == sys::kNoFile) return false;
  struct CloseOnExit {
    sys::FileHandle f;
    ~CloseOnExit() { sys::closeFile(f); }
  } guard{f};
  uint64_t size = 0, modified = 0;
  if (!sys::fileSize(f, size) || !sys::fileModifiedSeconds(f, modified)) return false;
  std::string etag = http::fileEtag(size, modified);
  http::RangeChoice range = http::chooseRange(http::findHeader(r.headers, "range"),
                                              http::findHeader(r.headers, "if-range"), size, etag, modified);
  if (range.kind == http::RangeKind::Unsatisfiable) {
    http::sendResponse(c, 416, "Range Not Satisfiable", http::kTypeText, "Range Not Satisfiable",
                       {{"Content-Range", http::contentRange(range, size)}});
    return true;
  }
  // A view is asked for with view=1; a type that is not safe to show is
  // downloaded as ever.
  const char* shownType = http::queryParam(r.query, "view") == "1" ? inlineTypeFor(downloadName) : nullptr;
  std::string quotedName = "\"" + dispositionName(downloadName) + "\"";
  http::HeaderList extra;
  if (shownType) {
    extra = {{"Content-Disposition", "inline; filename=" + quotedName},
             {"X-Content-Type-Options", "nosniff"},
             {"Content-Security-Policy", kInlinePolicy}};
  } else {
    extra = {{"Content-Disposition", "attachment; filename=" + quotedName}};
  }
  uint64_t length = size;
  int status = 200;
  std::string reason = "OK";
  if (range.kind == http::RangeKind::Part) {
    length = range.last - range.first + 1;
    status = 206;
    reason = "Partial Content";
    extra.push_back({"Content-Range", http::contentRange(range, size)});
    if (!sys::seekFile(f, range.first)) return false;
  }
  // After the headers every download had before, so older answers keep their layout.
  extra.push_back({"Accept-Ranges", "bytes"});
  extra.push_back({"Last-Modified", http::httpDateOf(modified)});
  extra.push_back({"ETag", etag});
  std::string type = shownType ? shownType : "application/octet-stream";
  std::string head = http::responseHead(status, reason, type, length, extra);
  if (!http::sendAll(c, head)) return false;
  if (length == 0) return true;
  std::unique_ptr<char[]> buffer(new char[kDownloadPiece]);
  uint64_t left = length;
  while (left > 0) {
    size_t want = left < kDownloadPiece ? (size_t)left : kDownloadPiece;
    long long got = sys::readFromFile(f, buffer.get(), want);
    // A file that shrank ends here; the client sees the short body.
    if (got <= 0) return false;
    if (!http::sendAll(c, buffer.get(), (uint64_t)got)) return false;
    left -= (uint64_t)got;
  }
  return true;
}

namespace {

bool isFile(const std::string& path) { return sys::pathKind(path) == sys::PathKind::File; }

// Logs the tag and the path before the first byte, and the failure after.
void sendLogged(http::Connection& c, const http::HttpRequest& r, const std::string& tag, const std::string& path,
                const std::string& name) {
  core::logEvent(tag + path);
  if (!streamFile(c, r, path, name)) core::logEvent(tag + "failed: " + path);
}

}  // namespace

void handleDownload(http::Connection& c, const http::HttpRequest& r) {
  std::string path = resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (path.empty()) {
    http::sendText(c, 400, "Bad Request", "Invalid path");
    return;
  }
  if (!isFile(path)) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return;
  }
  sendLogged(c, r, "DL      ", path, baseName(path));
}

void handleSharedFile(http::Connection& c, const http::HttpRequest& r) {
  std::string path = resolveClientPath(r.sharedPath);
  if (path.empty() || !isFile(path)) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return;
  }
  sendLogged(c, r, "SHAREDL ", path, baseName(path));
}

bool sharedFileOrReply(http::Connection& c, const http::HttpRequest& r, std::string& path) {
  std::string name = http::urlDecode(http::queryParam(r.query, "name"));
  if (!isPlainName(name)) {
    http::sendText(c, 400, "Bad Request", "Invalid name");
    return false;
  }
  std::string folder = resolveClientPath(r.sharedPath);
  path = folder.empty() ? std::string() : sys::joinPath(folder, name);
  if (path.empty() || !isFile(path)) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return false;
  }
  return true;
}

void handleSharedDownload(http::Connection& c, const http::HttpRequest& r) {
  std::string path;
  if (!sharedFileOrReply(c, r, path)) return;
  sendLogged(c, r, "SHDIRDL ", path, baseName(path));
}

}  // namespace files
