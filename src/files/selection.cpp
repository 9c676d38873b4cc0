#include "files/selection.h"

#include "files/paths.h"
#include "http/response.h"
#include "http/router.h"

namespace files {

bool readSelectionOrReply(http::Connection& c, const http::HttpRequest& r, Selection& s) {
  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return false;
  if (!http::jsonStringArray(body, "names", s.names) || s.names.empty()) {
    http::sendJson(c, 400, http::jsonError("Missing names[]"));
    return false;
  }
  s.folder = resolveClientPath(http::jsonStringField(body, "path"));
  if (s.folder.empty()) {
    http::sendJson(c, 400, http::jsonError("Invalid path"));
    return false;
  }
  return true;
}

}  // namespace files
