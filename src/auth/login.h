// PIN login endpoints and the session check behind the authentication gate.
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace auth {

void handleLogin(http::Connection& c, const http::HttpRequest& r);      // POST /api/login
void handleAutoLogin(http::Connection& c, const http::HttpRequest& r);  // GET /auto
// GET /: the file manager with a session, else the login page.
void handleRootPage(http::Connection& c, const http::HttpRequest& r);
// True when the request carries the cookie of a live session.
bool isAuthenticated(const http::HttpRequest& r);

}  // namespace auth
