#include "auth/share_routes.h"

#include <string>

#include "core/flavour.h"
#include "auth/share_table.h"
#include "files/file_routes.h"
#include "files/paths.h"
#include "http/response.h"
#include "sys/fs.h"
#include "web/pages.h"

namespace auth {

namespace {

constexpr size_t kMinFileToken = 32;

void sendGone(http::Connection& c) { http::sendText(c, 410, "Gone", "Link expired or invalid"); }
void sendNotFound(http::Connection& c) { http::sendText(c, 404, "Not Found", "Not Found"); }

// "/d/<token><op>": the token runs to the first slash after "/d/", the
// operation is the rest from that slash on.
void splitFolderLink(const std::string& path, std::string& token, std::string& op) {
  std::string rest = path.substr(3);
  size_t slash = rest.find('/');
  token = rest.substr(0, slash);
  op = slash == std::string::npos ? std::string() : rest.substr(slash);
}

bool findFolderShare(http::Connection& c, const std::string& token, ShareEntry& entry) {
  if (lookupShare(token, entry) && entry.isFolder) return true;
  sendGone(c);
  return false;
}

}  // namespace

void handleCreateShare(http::Connection& c, const http::HttpRequest& r) {
  std::string full = files::resolveClientPath(http::urlDecode(http::queryParam(r.query, "path")));
  if (full.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return;
  }
  sys::PathKind kind = sys::pathKind(full);
  if (kind == sys::PathKind::Missing) {
    http::sendJson(c, 404, http::jsonError("Not found"));
    return;
  }
  bool isFolder = kind == sys::PathKind::Folder;
  // The link keeps the clean path, which is empty for every spelling of the
  // web root itself (".", "./", "/.") and so refused like "".
  std::string token = createShare(files::clientPathOf(full), isFolder);
  if (token.empty()) {
    http::sendJson(c, 500, http::jsonError("Failed to create token"));
    return;
  }
  std::string link = (isFolder ? "/d/" : "/s/") + token;
  std::string host = http::findHeader(r.headers, "host");
  std::string url = host.empty() ? std::string() : std::string(core::flavour().scheme) + "://" + host + link;
  http::sendJson(c, 200,
                 http::jsonOk("\"path\":\"" + http::jsonEscape(link) + "\",\"url\":\"" + http::jsonEscape(url) +
                              "\",\"kind\":\"" + (isFolder ? "dir" : "file") +
                              "\",\"ttlSeconds\":" + std::to_string(kShareLifetimeSeconds)));
}

void handleFileShareLink(http::Connection& c, const http::HttpRequest& r) {
  // Everything after "/s/", further slashes included.
  std::string token = r.path.substr(3);
  if (token.size() < kMinFileToken) {
    sendNotFound(c);
    return;
  }
  ShareEntry entry;
  if (!lookupShare(token, entry) || entry.isFolder) {
    sendGone(c);
    return;
  }
  files::handleSharedFile(c, r, entry.path);
}

void handleSharedFolderGet(http::Connection& c, const http::HttpRequest& r) {
  std::string token, op;
  splitFolderLink(r.path, token, op);
  ShareEntry entry;
  if (!findFolderShare(c, token, entry)) return;
  if (op.empty() || op == "/")
    http::sendResponse(c, 200, "OK", http::kTypeHtml, web::sharedFolderPage());
  else if (op == "/api/list")
    files::handleSharedList(c, r, entry.path);
  else if (op == "/download")
    files::handleSharedDownload(c, r, entry.path);
  else
    sendNotFound(c);
}

void handleSharedFolderPost(http::Connection& c, const http::HttpRequest& r) {
  std::string token, op;
  splitFolderLink(r.path, token, op);
  ShareEntry entry;
  if (!findFolderShare(c, token, entry)) return;
  if (op == "/api/delete")
    files::handleSharedDelete(c, r, entry.path);
  else if (op == "/upload")
    files::handleSharedUpload(c, r, entry.path);
  else
    sendNotFound(c);
}

}  // namespace auth
