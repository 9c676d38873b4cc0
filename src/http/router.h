// The route table and the handler of every connection.
#pragma once
#include <cstddef>

#include "http/connection.h"
#include "http/request.h"

namespace http {

using RouteHandler = void (*)(Connection& c, const HttpRequest& r);

enum class Match { Exact, Prefix };
// Open rows answer anybody; Session rows lie behind the authentication gate.
enum class Access { Open, Session };

struct Route {
  const char* method;  // nullptr: any method
  const char* path;
  Match match;
  size_t minLength;  // a prefix row also needs a path at least this long
  Access access;
  RouteHandler handler;
};

// Index of the first row that takes the request, or -1.
int findRoute(const Route* table, size_t count, const HttpRequest& r);
// Walks the table, running the gate before the first Session row.
void dispatch(const Route* table, size_t count, Connection& c, const HttpRequest& r);

// The authentication gate: true when the request may go on; otherwise it
// has answered 401.
bool requireAuth(const HttpRequest& r, Connection& c);

void handleStatus(Connection& c, const HttpRequest& r);
void handleRootPage(Connection& c, const HttpRequest& r);
void handleNotFound(Connection& c, const HttpRequest& r);

// The body of a JSON endpoint; when its declared length is too large it has
// answered 413 and returns false.
bool readJsonBody(Connection& c, const HttpRequest& r, std::string& body);

}  // namespace http
