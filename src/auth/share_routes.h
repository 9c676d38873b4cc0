// The share-link endpoints that are not file operations: creating a link
// and the shared folder's page.
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace auth {

// GET /api/share?path=… and POST /api/share {"path": …}
void handleCreateShare(http::Connection& c, const http::HttpRequest& r);
void handleSharedFolderPage(http::Connection& c, const http::HttpRequest& r);  // GET /d/<token>[/]

}  // namespace auth
