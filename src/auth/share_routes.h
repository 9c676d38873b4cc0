// The share-link endpoints: creating links and serving "/s/" and "/d/".
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace auth {

void handleCreateShare(http::Connection& c, const http::HttpRequest& r);       // GET /api/share
void handleFileShareLink(http::Connection& c, const http::HttpRequest& r);     // GET /s/<token>
void handleSharedFolderGet(http::Connection& c, const http::HttpRequest& r);   // GET /d/<token>...
void handleSharedFolderPost(http::Connection& c, const http::HttpRequest& r);  // POST /d/<token>...

}  // namespace auth
