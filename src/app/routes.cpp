#include "app/routes.h"

#include "app/qr_route.h"

#include "auth/gates.h"
#include "auth/login.h"
#include "auth/share_routes.h"
#include "files/file_routes.h"
#include "files/tus_routes.h"

namespace app {

namespace {

using http::Match;
constexpr http::Effect Reads = http::Effect::Reads;
constexpr http::Effect Writes = http::Effect::Writes;
constexpr http::Effect WritesJson = http::Effect::WritesJson;
using http::openToAll;
using auth::fileShareOrReply;
using auth::folderShareOrReply;
using auth::sessionOrReply;

// Examined from the top; the first row whose method and path match takes the
// request: its cross-site checks (by its effect) first, then its gate. A "*"
// in an exact path is the share token. Every row that changes anything
// says so, so that another site's page cannot make a browser do it.
const http::Route kRows[] = {
    {"GET", "/s/", Match::Prefix, 0, fileShareOrReply, Reads, files::handleSharedFile},
    {"GET", "/api/status", Match::Exact, 0, openToAll, Reads, http::handleStatus},
    {"GET", "/", Match::Exact, 0, openToAll, Reads, auth::handleRootPage},
    {"POST", "/api/login", Match::Exact, 0, openToAll, WritesJson, auth::handleLogin},
    // Other methods on the login path are unknown, with or without a session.
    {nullptr, "/api/login", Match::Exact, 0, openToAll, Reads, http::handleNotFound},

    {"GET", "/d/*", Match::Exact, 0, folderShareOrReply, Reads, auth::handleSharedFolderPage},
    {"GET", "/d/*/", Match::Exact, 0, folderShareOrReply, Reads, auth::handleSharedFolderPage},
    {"GET", "/d/*/api/list", Match::Exact, 0, folderShareOrReply, Reads, files::handleSharedList},
    {"GET", "/d/*/download", Match::Exact, 0, folderShareOrReply, Reads, files::handleSharedDownload},
    {"GET", "/d/*/thumb", Match::Exact, 0, folderShareOrReply, Reads, files::handleSharedThumb},
    {"GET", "/d/", Match::Prefix, 0, folderShareOrReply, Reads, http::handleNotFound},
    {"POST", "/d/*/api/delete", Match::Exact, 0, folderShareOrReply, WritesJson, files::handleSharedDelete},
    {"POST", "/d/*/upload", Match::Exact, 0, folderShareOrReply, Writes, files::handleSharedUpload},
    {"OPTIONS", "/d/*/tus", Match::Exact, 0, folderShareOrReply, Reads, files::handleTusOptions},
    {"POST", "/d/*/tus", Match::Exact, 0, folderShareOrReply, Writes, files::handleTusCreate},
    {"HEAD", "/d/*/tus/*", Match::Exact, 0, folderShareOrReply, Reads, files::handleTusHead},
    {"PATCH", "/d/*/tus/*", Match::Exact, 0, folderShareOrReply, Writes, files::handleTusPatch},
    {"DELETE", "/d/*/tus/*", Match::Exact, 0, folderShareOrReply, Writes, files::handleTusDelete},
    // A POST to "/d/" itself is left to the last row.
    {"POST", "/d/", Match::Prefix, 4, folderShareOrReply, Reads, http::handleNotFound},

    {"GET", "/auto", Match::Exact, 0, openToAll, Reads, auth::handleAutoLogin},
    // The GET form is kept for older callers; the pages use the POST form.
    {"GET", "/api/share", Match::Exact, 0, sessionOrReply, Reads, auth::handleCreateShare},
    {"POST", "/api/share", Match::Exact, 0, sessionOrReply, WritesJson, auth::handleCreateShare},
    {"GET", "/api/shares", Match::Exact, 0, sessionOrReply, Reads, auth::handleListShares},
    {"POST", "/api/unshare", Match::Exact, 0, sessionOrReply, WritesJson, auth::handleUnshare},
    {"GET", "/api/qr", Match::Exact, 0, sessionOrReply, Reads, app::handleQr},
    {"GET", "/api/list", Match::Exact, 0, sessionOrReply, Reads, files::handleList},
    {"GET", "/download", Match::Exact, 0, sessionOrReply, Reads, files::handleDownload},
    {"GET", "/api/thumb", Match::Exact, 0, sessionOrReply, Reads, files::handleThumb},
    {"POST", "/upload", Match::Exact, 0, sessionOrReply, Writes, files::handleUpload},
    {"POST", "/api/mkdir", Match::Exact, 0, sessionOrReply, WritesJson, files::handleMkdir},
    {"POST", "/api/rmdir", Match::Exact, 0, sessionOrReply, WritesJson, files::handleRmdir},
    {"POST", "/api/delete", Match::Exact, 0, sessionOrReply, WritesJson, files::handleDelete},
    {"POST", "/api/delete_many", Match::Exact, 0, sessionOrReply, WritesJson, files::handleDeleteMany},
    {"POST", "/api/rename", Match::Exact, 0, sessionOrReply, WritesJson, files::handleRename},
    {"POST", "/api/move", Match::Exact, 0, sessionOrReply, WritesJson, files::handleMove},
    {"GET", "/api/search", Match::Exact, 0, sessionOrReply, Reads, files::handleSearch},
    {"POST", "/api/zip", Match::Exact, 0, sessionOrReply, WritesJson, files::handleZip},
    {"OPTIONS", "/api/tus", Match::Exact, 0, sessionOrReply, Reads, files::handleTusOptions},
    {"POST", "/api/tus", Match::Exact, 0, sessionOrReply, Writes, files::handleTusCreate},
    {"HEAD", "/api/tus/*", Match::Exact, 0, sessionOrReply, Reads, files::handleTusHead},
    {"PATCH", "/api/tus/*", Match::Exact, 0, sessionOrReply, Writes, files::handleTusPatch},
    {"DELETE", "/api/tus/*", Match::Exact, 0, sessionOrReply, Writes, files::handleTusDelete},
    {nullptr, "", Match::Prefix, 0, sessionOrReply, Reads, http::handleNotFound},
};

const http::RouteTable kTable{kRows, sizeof kRows / sizeof kRows[0]};

}  // namespace

const http::RouteTable& routes() { return kTable; }

}  // namespace app
