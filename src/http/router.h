// Matching a request to a row of the route table the front end hands to
// the server, and the handler of every connection.
#pragma once
#include <cstddef>
#include <string>

#include "http/connection.h"
#include "http/request.h"

namespace http {

using RouteHandler = void (*)(Connection& c, const HttpRequest& r);
// Who may use a row: true lets the request on to the handler; false means
// the gate has answered (401, 404, 410, ...). A gate may note in the request
// what it found (the folder a share token opens).
using Gate = bool (*)(Connection& c, HttpRequest& r);

// Exact paths are compared byte for byte, except that a "*" stands for one
// path segment (any bytes but "/", none at all included). Prefix paths match
// the start of the request's path.
enum class Match { Exact, Prefix };

// What a row's requests do, which decides the checks against requests that
// another site's page makes the browser send.
enum class Effect {
  Reads,       // none: links, pages and downloads work from anywhere
  Writes,      // refused when sent by another site or origin
  WritesJson,  // the same, and a body declared as anything but JSON is refused
};

struct Route {
  const char* method;  // nullptr: any method
  const char* path;
  Match match;
  size_t minLength;  // a prefix row also needs a path at least this long
  Gate gate;         // anyone (openToAll), a session, a share token
  Effect effect;
  RouteHandler handler;
};

struct RouteTable {
  const Route* rows;
  size_t count;
};

// The gate of rows open to everybody.
bool openToAll(Connection& c, HttpRequest& r);

// Index of the first row that takes the request, or -1.
int findRoute(const RouteTable& table, const HttpRequest& r);
// The first matching row's gate, then its handler; 404 when no row matches.
void dispatch(const RouteTable& table, Connection& c, HttpRequest& r);

void handleStatus(Connection& c, const HttpRequest& r);
void handleNotFound(Connection& c, const HttpRequest& r);

// The body of a JSON endpoint. False when it has answered instead: 413 when
// the declared length is too large, 400 when the body was cut short.
bool readJsonBodyOrReply(Connection& c, const HttpRequest& r, std::string& body);

}  // namespace http
