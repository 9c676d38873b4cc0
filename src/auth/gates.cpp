#include "auth/gates.h"

#include <string>

#include "auth/login.h"
#include "auth/share_table.h"
#include "http/response.h"

namespace auth {

namespace {

constexpr size_t kMinFileToken = 32;
constexpr size_t kShareTokenAt = 3;  // after "/s/" and "/d/"

bool liveShareOrReply(http::Connection& c, http::HttpRequest& r, const std::string& token, bool folder) {
  ShareEntry entry;
  if (!lookupShare(token, entry) || entry.isFolder != folder) {
    http::sendText(c, 410, "Gone", "Link expired or invalid");
    return false;
  }
  r.sharedPath = entry.path;
  return true;
}

}  // namespace

bool sessionOrReply(http::Connection& c, http::HttpRequest& r) {
  if (isAuthenticated(r)) return true;
  http::sendText(c, 401, "Unauthorized", "Unauthorized");
  return false;
}

bool fileShareOrReply(http::Connection& c, http::HttpRequest& r) {
  // Everything after "/s/", further slashes included.
  std::string token = r.path.substr(kShareTokenAt);
  if (token.size() < kMinFileToken) {
    http::sendText(c, 404, "Not Found", "Not Found");
    return false;
  }
  return liveShareOrReply(c, r, token, false);
}

bool folderShareOrReply(http::Connection& c, http::HttpRequest& r) {
  std::string rest = r.path.substr(kShareTokenAt);
  return liveShareOrReply(c, r, rest.substr(0, rest.find('/')), true);
}

}  // namespace auth
