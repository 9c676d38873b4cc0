// Resumable uploads: /api/tus[/<id>] behind a session, /d/<token>/tus[/<id>]
// for the guests of a folder share. OPTIONS tells what the server offers,
// POST creates an upload (its first bytes may come along), HEAD tells how
// much has arrived, PATCH appends, DELETE ends it.
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace files {

void handleTusOptions(http::Connection& c, const http::HttpRequest& r);
void handleTusCreate(http::Connection& c, const http::HttpRequest& r);
void handleTusHead(http::Connection& c, const http::HttpRequest& r);
void handleTusPatch(http::Connection& c, const http::HttpRequest& r);
void handleTusDelete(http::Connection& c, const http::HttpRequest& r);

}  // namespace files
