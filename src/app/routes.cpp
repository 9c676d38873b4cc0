#include "app/routes.h"

#include "auth/gates.h"
#include "auth/login.h"
#include "auth/share_routes.h"
#include "files/file_routes.h"

namespace app {

namespace {

using http::Match;
using http::openToAll;
using auth::fileShareOrReply;
using auth::folderShareOrReply;
using auth::sessionOrReply;

// Examined from the top; the first row whose method and path match takes the
// request, its gate first. A "*" in an exact path is the share token.
const http::Route kRows[] = {
    {"GET", "/s/", Match::Prefix, 0, fileShareOrReply, files::handleSharedFile},
    {"GET", "/api/status", Match::Exact, 0, openToAll, http::handleStatus},
    {"GET", "/", Match::Exact, 0, openToAll, auth::handleRootPage},
    {"POST", "/api/login", Match::Exact, 0, openToAll, auth::handleLogin},
    // Other methods on the login path are unknown, with or without a session.
    {nullptr, "/api/login", Match::Exact, 0, openToAll, http::handleNotFound},

    {"GET", "/d/*", Match::Exact, 0, folderShareOrReply, auth::handleSharedFolderPage},
    {"GET", "/d/*/", Match::Exact, 0, folderShareOrReply, auth::handleSharedFolderPage},
    {"GET", "/d/*/api/list", Match::Exact, 0, folderShareOrReply, files::handleSharedList},
    {"GET", "/d/*/download", Match::Exact, 0, folderShareOrReply, files::handleSharedDownload},
    {"GET", "/d/", Match::Prefix, 0, folderShareOrReply, http::handleNotFound},
    {"POST", "/d/*/api/delete", Match::Exact, 0, folderShareOrReply, files::handleSharedDelete},
    {"POST", "/d/*/upload", Match::Exact, 0, folderShareOrReply, files::handleSharedUpload},
    // A POST to "/d/" itself is left to the last row.
    {"POST", "/d/", Match::Prefix, 4, folderShareOrReply, http::handleNotFound},

    {"GET", "/auto", Match::Exact, 0, openToAll, auth::handleAutoLogin},
    {"GET", "/api/share", Match::Exact, 0, sessionOrReply, auth::handleCreateShare},
    {"GET", "/api/list", Match::Exact, 0, sessionOrReply, files::handleList},
    {"GET", "/download", Match::Exact, 0, sessionOrReply, files::handleDownload},
    {"POST", "/upload", Match::Exact, 0, sessionOrReply, files::handleUpload},
    {"POST", "/api/mkdir", Match::Exact, 0, sessionOrReply, files::handleMkdir},
    {"POST", "/api/rmdir", Match::Exact, 0, sessionOrReply, files::handleRmdir},
    {"POST", "/api/delete", Match::Exact, 0, sessionOrReply, files::handleDelete},
    {"POST", "/api/delete_many", Match::Exact, 0, sessionOrReply, files::handleDeleteMany},
    {"POST", "/api/zip", Match::Exact, 0, sessionOrReply, files::handleZip},
    {nullptr, "", Match::Prefix, 0, sessionOrReply, http::handleNotFound},
};

const http::RouteTable kTable{kRows, sizeof kRows / sizeof kRows[0]};

}  // namespace

const http::RouteTable& routes() { return kTable; }

}  // namespace app
