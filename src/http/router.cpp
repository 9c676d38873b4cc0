#include "http/router.h"

#include <cstring>
#include <string>

#include "http/cross_site.h"
#include "http/host_names.h"
#include "http/response.h"
#include "http/connection_limits.h"
#include "http/server.h"

namespace http {

namespace {

bool patternMatches(const char* pattern, const std::string& path) {
  size_t at = 0;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '*') {
      while (at < path.size() && path[at] != '/') ++at;
    } else if (at < path.size() && path[at] == *p) {
      ++at;
    } else {
      return false;
    }
  }
  return at == path.size();
}

bool rowMatches(const Route& row, const HttpRequest& r) {
  if (row.method && r.method != row.method) return false;
  if (row.match == Match::Exact) return patternMatches(row.path, r.path);
  return r.path.size() >= row.minLength && r.path.compare(0, std::strlen(row.path), row.path) == 0;
}

}  // namespace

bool openToAll(Connection&, HttpRequest&) { return true; }

int findRoute(const RouteTable& table, const HttpRequest& r) {
  for (size_t i = 0; i < table.count; ++i)
    if (rowMatches(table.rows[i], r)) return (int)i;
  return -1;
}

void dispatch(const RouteTable& table, Connection& c, HttpRequest& r) {
  int i = findRoute(table, r);
  if (i < 0) {
    handleNotFound(c, r);
    return;
  }
  const Route& row = table.rows[i];
  if (row.effect != Effect::Reads && !sameOriginOrReply(c, r, row.effect == Effect::WritesJson)) return;
  if (row.gate(c, r)) row.handler(c, r);
}

void handleStatus(Connection& c, const HttpRequest&) {
  std::string body = std::string("{\"running\":") + (serverRunning() ? "true" : "false") +
                     ",\"port\":" + std::to_string(serverPort()) + "}";
  sendResponse(c, 200, "OK", kTypeJson, body);
}

void handleNotFound(Connection& c, const HttpRequest&) { sendText(c, 404, "Not Found", "Not Found"); }

bool readJsonBodyOrReply(Connection& c, const HttpRequest& r, std::string& body) {
  switch (readBody(c, r, body)) {
    case BodyRead::Complete:
      return true;
    case BodyRead::TooLarge:
      sendJson(c, 413, jsonError("Request body too large"));
      return false;
    case BodyRead::CutShort:
      sendJson(c, 400, jsonError("Incomplete request body"));
      return false;
  }
  return false;
}

void handleConnection(Accepted& a) {
  Connection c;
  c.socket = a.socket;
  c.tls = a.session;
  c.patienceMs = kHeadPatienceMs;
  struct CloseOnExit {
    Connection& c;
    bool parked = false;
    ~CloseOnExit() {
      if (!parked) closeConnection(c);
    }
  } guard{c};

  Progress got = readUpToHead(c, a);
  if (got == Progress::Waiting) {
    guard.parked = true;
    parkConnection(std::move(a));
    return;
  }
  if (got != Progress::Head) return;
  HttpRequest r;
  describeClient(a.peer, r);
  std::string head;
  takeHead(a.head, head, r.bodyPrefix);
  if (!parseHead(head, r)) {
    sendText(c, 400, "Bad Request", "Bad Request");
    return;
  }
  // A request without a body has all arrived with its head, unless the
  // client sent more behind it.
  c.requestComplete = r.bodyPrefix.empty() && declaredLength(r.headers) == 0 && !isChunked(r.headers);
  // The head may have been read before this thread had the connection.
  c.readDrained = a.head.drained;
  splitTarget(r);
  if (!allowedHostOrReply(c, r)) return;
  dispatch(serverRoutes(), c, r);
}

}  // namespace http
