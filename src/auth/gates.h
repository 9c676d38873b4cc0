// The gates of the route table: who may use a row. Each lets the request on
// or answers it itself (the names say so) and returns false.
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace auth {

// A live session cookie, else 401 "Unauthorized".
bool sessionOrReply(http::Connection& c, http::HttpRequest& r);
// "/s/<token>": the whole rest of the path is the token of a live file
// share, else 404 (too short to be one) or 410. Notes the shared file.
bool fileShareOrReply(http::Connection& c, http::HttpRequest& r);
// "/d/<token>[/<operation>]": the first segment is the token of a live
// folder share, else 410. Notes the shared folder.
bool folderShareOrReply(http::Connection& c, http::HttpRequest& r);

}  // namespace auth
