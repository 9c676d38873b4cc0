// The file endpoints behind the authentication gate.
#pragma once

#include <string>

#include "http/connection.h"
#include "http/request.h"

namespace files {

void handleList(http::Connection& c, const http::HttpRequest& r);        // GET /api/list
void handleDownload(http::Connection& c, const http::HttpRequest& r);    // GET /download
void handleUpload(http::Connection& c, const http::HttpRequest& r);      // POST /upload
void handleMkdir(http::Connection& c, const http::HttpRequest& r);       // POST /api/mkdir
void handleRmdir(http::Connection& c, const http::HttpRequest& r);       // POST /api/rmdir
void handleDelete(http::Connection& c, const http::HttpRequest& r);      // POST /api/delete
void handleDeleteMany(http::Connection& c, const http::HttpRequest& r);  // POST /api/delete_many
void handleZip(http::Connection& c, const http::HttpRequest& r);         // POST /api/zip
void handleRename(http::Connection& c, const http::HttpRequest& r);      // POST /api/rename
void handleMove(http::Connection& c, const http::HttpRequest& r);        // POST /api/move
void handleSearch(http::Connection& c, const http::HttpRequest& r);      // GET /api/search
void handleThumb(http::Connection& c, const http::HttpRequest& r);       // GET /api/thumb

// The operations behind share links, once the token has been found valid
// and of the right kind. Each takes the share's stored client path from the
// request (sharedPath) and resolves it anew, so a link follows whatever now
// has that name.
// GET /s/<token>, GET /d/<token>/api/list, GET /d/<token>/download and
// POST /d/<token>/api/delete.
void handleSharedFile(http::Connection& c, const http::HttpRequest& r);
void handleSharedList(http::Connection& c, const http::HttpRequest& r);
void handleSharedDownload(http::Connection& c, const http::HttpRequest& r);
void handleSharedDelete(http::Connection& c, const http::HttpRequest& r);
// GET /d/<token>/thumb?name=<file>&size=<160|320|640>: the preview of a
// file of the shared folder, on the download's rules.
void handleSharedThumb(http::Connection& c, const http::HttpRequest& r);

// POST /d/<token>/upload once the token names a valid folder share: resolves
// the share's path itself, so that its answers come in their order (chunked
// 411 before "Invalid dir").
void handleSharedUpload(http::Connection& c, const http::HttpRequest& r);

}  // namespace files
