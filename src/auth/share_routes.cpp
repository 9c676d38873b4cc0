#include "auth/share_routes.h"

#include <string>

#include "core/flavour.h"
#include "auth/share_table.h"
#include "files/paths.h"
#include "http/response.h"
#include "http/router.h"
#include "http/server.h"
#include "netenv/address_cache.h"
#include "sys/clock.h"
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

std::string linkOf(const std::string& token, bool isFolder) { return (isFolder ? "/d/" : "/s/") + token; }

}  // namespace

void handleCreateShare(http::Connection& c, const http::HttpRequest& r) {
  std::string clientPath, hours;
  if (r.method == "POST") {
    std::string body;
    if (!http::readJsonBodyOrReply(c, r, body)) return;
    clientPath = http::jsonStringField(body, "path");
    hours = http::jsonScalarText(body, "hours");
  } else {
    clientPath = http::urlDecode(http::queryParam(r.query, "path"));
    hours = http::urlDecode(http::queryParam(r.query, "hours"));
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
  // The link keeps the clean path, which is empty for every spelling of the
  // web root itself (".", "./", "/.").
  std::string shared = files::clientPathOf(full);
  if (shared.empty()) {
    http::sendJson(c, 400, http::jsonError("The web root itself cannot be shared"));
    return;
  }
  bool isFolder = kind == sys::PathKind::Folder;
  uint64_t lifetime = shareLifetimeSeconds(hours);
  uint64_t expiresAt = sys::nowSeconds() + lifetime;
  std::string token = createShareUntil(shared, isFolder, expiresAt);
  if (token.empty()) {
    http::sendJson(c, 500, http::jsonError("Failed to create token"));
    return;
  }
  std::string link = linkOf(token, isFolder);
  http::sendJson(c, 200,
                 http::jsonOk("\"path\":\"" + http::jsonEscape(link) + "\",\"url\":\"" +
                              http::jsonEscape(ownBaseUrl() + link) + "\",\"kind\":\"" + (isFolder ? "dir" : "file") +
                              "\",\"ttlSeconds\":" + std::to_string(lifetime) +
                              ",\"expiresAt\":" + std::to_string(expiresAt)));
}

void handleListShares(http::Connection& c, const http::HttpRequest&) {
  std::string base = ownBaseUrl(), items;
  for (const auto& [token, entry] : liveShares()) {
    if (!items.empty()) items += ',';
    items += "{\"token\":\"" + token + "\",\"kind\":\"" + (entry.isFolder ? "dir" : "file") + "\",\"path\":\"" +
             http::jsonEscape(entry.path) + "\",\"expiresAt\":" + std::to_string(entry.expiresAt) + ",\"url\":\"" +
             http::jsonEscape(base + linkOf(token, entry.isFolder)) + "\"}";
  }
  http::sendJson(c, 200, http::jsonOk("\"items\":[" + items + "]"));
}

void handleUnshare(http::Connection& c, const http::HttpRequest& r) {
  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return;
  std::string token = http::jsonStringField(body, "token");
  if (token.empty()) {
    http::sendJson(c, 400, http::jsonError("Missing token"));
    return;
  }
  if (!endShare(token)) {
    http::sendJson(c, 404, http::jsonError("Not found"));
    return;
  }
  http::sendJson(c, 200, http::jsonOk());
}

void handleSharedFolderPage(http::Connection& c, const http::HttpRequest&) {
  web::sendPage(c, web::sharedFolderPage());
}

}  // namespace auth
