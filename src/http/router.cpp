#include "http/router.h"

#include <cstring>
#include <string>

#include "http/response.h"
#include "http/server.h"

namespace http {

namespace {

const Route kRoutes[] = {
    {"GET", "/api/status", Match::Exact, 0, Access::Open, handleStatus},
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
    handleNotFound(c, r);
    return;
  }
  table[i].handler(c, r);
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

void handleConnection(sys::SocketHandle socket, const sys::PeerAddress& peer) {
  Connection c;
  c.socket = socket;
  struct CloseOnExit {
    Connection& c;
    ~CloseOnExit() { closeConnection(c); }
  } guard{c};

  if (!openConnection(c)) return;
  HttpRequest r;
  describeClient(peer, r);
  std::string head;
  if (!readHead(c, head, r.bodyPrefix)) return;
  if (!parseHead(head, r)) {
    sendText(c, 400, "Bad Request", "Bad Request");
    return;
  }
  splitTarget(r);
  dispatch(kRoutes, sizeof kRoutes / sizeof kRoutes[0], c, r);
}

}  // namespace http
