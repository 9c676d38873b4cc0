#include "auth/share_routes.h"

#include <string>

#include "core/flavour.h"
#include "auth/share_table.h"
#include "files/paths.h"
#include "http/response.h"
#include "http/router.h"
#include "http/server.h"
#include "netenv/address_cache.h"
#include "sys/fs.h"
#include "web/pages.h"

namespace auth {

namespace {

// Links are built from the program's own address, never from the request's
// Host, which a page on another name could have chosen.
std::string ownBaseUrl() {
  const core::NetworkTraits& n = core::flavour().network;
  std::string host = netenv::urlHost();
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string url = std::string(n.scheme) + "://" + host;
  int port = http::serverPort();
  if (port != n.adminPort) url += ":" + std::to_string(port);
  return url;
}

}  // namespace

void handleCreateShare(http::Connection& c, const http::HttpRequest& r) {
  std::string clientPath;
  if (r.method == "POST") {
    std::string body;
    if (!http::readJsonBodyOrReply(c, r, body)) return;
    clientPath = http::jsonStringField(body, "path");
  } else {
    clientPath = http::urlDecode(http::queryParam(r.query, "path"));
  }
  std::string full = files::resolveClientPath(clientPath);
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
  std::string url = ownBaseUrl() + link;
  http::sendJson(c, 200,
                 http::jsonOk("\"path\":\"" + http::jsonEscape(link) + "\",\"url\":\"" + http::jsonEscape(url) +
                              "\",\"kind\":\"" + (isFolder ? "dir" : "file") +
                              "\",\"ttlSeconds\":" + std::to_string(kShareLifetimeSeconds)));
}

void handleSharedFolderPage(http::Connection& c, const http::HttpRequest&) {
  web::sendPage(c, web::sharedFolderPage());
}

}  // namespace auth
