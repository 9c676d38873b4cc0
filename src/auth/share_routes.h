// The share-link endpoints that are not file operations: creating, listing
// and ending links, and the shared folder's page.
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace auth {

// GET /api/share?path=…[&hours=…] and POST /api/share {"path": …[, "hours": …]}
void handleCreateShare(http::Connection& c, const http::HttpRequest& r);
void handleListShares(http::Connection& c, const http::HttpRequest& r);  // GET /api/shares
void handleUnshare(http::Connection& c, const http::HttpRequest& r);     // POST /api/unshare {"token": …}
void handleSharedFolderPage(http::Connection& c, const http::HttpRequest& r);  // GET /d/<token>[/]

}  // namespace auth
