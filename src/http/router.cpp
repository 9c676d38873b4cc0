#include "http/router.h"

#include <cstring>
#include <string>

#include "auth/login.h"
#include "auth/share_routes.h"
#include "files/file_routes.h"
#include "http/response.h"
#include "http/server.h"
#include "web/pages.h"

namespace http {

namespace {

// Examined from the top; the first row whose method and path match answers.
// The authentication gate stands before the first Session row.
const Route kRoutes[] = {
    {"GET", "/s/", Match::Prefix, 0, Access::Open, auth::handleFileShareLink},
    {"GET", "/api/status", Match::Exact, 0, Access::Open, handleStatus},
    {"GET", "/", Match::Exact, 0, Access::Open, handleRootPage},
    {"POST", "/api/login", Match::Exact, 0, Access::Open, auth::handleLogin},
    {"GET", "/d/", Match::Prefix, 0, Access::Open, auth::handleSharedFolderGet},
    {"POST", "/d/", Match::Prefix, 4, Access::Open, auth::handleSharedFolderPost},
    {"GET", "/auto", Match::Exact, 0, Access::Open, auth::handleAutoLogin},
    {"GET", "/api/share", Match::Exact, 0, Access::Session, auth::handleCreateShare},
    {"GET", "/api/list", Match::Exact, 0, Access::Session, files::handleList},
    {"GET", "/download", Match::Exact, 0, Access::Session, files::handleDownload},
    {"POST", "/upload", Match::Exact, 0, Access::Session, files::handleUpload},
    {"POST", "/api/mkdir", Match::Exact, 0, Access::Session, files::handleMkdir},
    {"POST", "/api/rmdir", Match::Exact, 0, Access::Session, files::handleRmdir},
    {"POST", "/api/delete", Match::Exact, 0, Access::Session, files::handleDelete},
    {"POST", "/api/delete_many", Match::Exact, 0, Access::Session, files::handleDeleteMany},
    {"POST", "/api/zip", Match::Exact, 0, Access::Session, files::handleZip},
    {nullptr, "", Match::Prefix, 0, Access::Session, handleNotFound},
};

bool rowMatches(const Route& row, const HttpRequest& r) {
  if (row.method && r.method != row.method) return false;
  if (row.match == Match::Exact) return r.path == row.path;
  return r.path.size() >= row.minLength && r.path.compare(0, std::strlen(row.path), row.path) == 0;
}

}  // namespace

int findRoute(const Route* table, size_t count, const HttpRequest& r) {
  for (size_t i = 0; i < count; ++i)
    if (rowMatches(table[i], r)) return (int)i;
  return -1;
}

void dispatch(const Route* table, size_t count, Connection& c, const HttpRequest& r) {
  int i = findRoute(table, count, r);
  if (i < 0) {
    if (requireAuth(r, c)) handleNotFound(c, r);
    return;
  }
  for (size_t k = 0; k < count && k <= (size_t)i; ++k) {
    if (table[k].access == Access::Session) {
      if (!requireAuth(r, c)) return;
      break;
    }
  }
  table[i].handler(c, r);
}

bool requireAuth(const HttpRequest& r, Connection& c) {
  if (auth::isAuthenticated(r)) return true;
  if ((r.method == "GET" && r.path == "/api/status") || r.path == "/api/login" ||
      (r.method == "GET" && (r.path == "/" || r.path == "/auto")))
    return true;
  sendText(c, 401, "Unauthorized", "Unauthorized");
  return false;
}

void handleRootPage(Connection& c, const HttpRequest& r) {
  const std::string& page = auth::isAuthenticated(r) ? web::fileManagerPage() : web::loginPage();
  sendResponse(c, 200, "OK", kTypeHtml, page);
}

void handleStatus(Connection& c, const HttpRequest&) {
  std::string body = std::string("{\"running\":") + (serverRunning() ? "true" : "false") +
                     ",\"port\":" + std::to_string(serverPort()) + "}";
  sendResponse(c, 200, "OK", kTypeJson, body);
}

void handleNotFound(Connection& c, const HttpRequest&) { sendText(c, 404, "Not Found", "Not Found"); }

bool readJsonBody(Connection& c, const HttpRequest& r, std::string& body) {
  if (readBody(c, r, body)) return true;
  sendJson(c, 413, jsonError("Request body too large"));
  return false;
}

void handleConnection(sys::SocketHandle socket, const sys::PeerAddress& peer, void* session) {
  Connection c;
  c.socket = socket;
  c.tls = session;
  c.mayPark = true;
  struct CloseOnExit {
    Connection& c;
    bool parked = false;
    ~CloseOnExit() {
      if (!parked) closeConnection(c);
    }
  } guard{c};

  Opened opened = openConnection(c);
  if (opened == Opened::Parked) {
    guard.parked = true;
    parkConnection(c.socket, peer, c.tls);
    return;
  }
  if (opened == Opened::Failed) return;
  HttpRequest r;
  describeClient(peer, r);
  std::string head;
  if (!readHead(c, head, r.bodyPrefix)) return;
  if (!parseHead(head, r)) {
    sendText(c, 400, "Bad Request", "Bad Request");
    return;
  }
  // A request without a body has all arrived with its head, unless the
  // client sent more behind it.
  c.requestComplete = r.bodyPrefix.empty() && declaredLength(r.headers) == 0 && !isChunked(r.headers);
  splitTarget(r);
  dispatch(kRoutes, sizeof kRoutes / sizeof kRoutes[0], c, r);
}

}  // namespace http
