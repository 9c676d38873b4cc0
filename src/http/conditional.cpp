#include "http/conditional.h"

#include "http/response.h"
#include "sys/sha256.h"

namespace http {

std::string bodyEtag(const std::string& body) { return "\"" + sys::sha256Hex(body).substr(0, 32) + "\""; }

bool etagMatches(const std::string& ifNoneMatch, const std::string& etag) {
  size_t i = 0;
  while (i < ifNoneMatch.size()) {
    while (i < ifNoneMatch.size() && (ifNoneMatch[i] == ' ' || ifNoneMatch[i] == '\t' || ifNoneMatch[i] == ','))
      i++;
    if (i >= ifNoneMatch.size()) break;
    if (ifNoneMatch[i] == '*') return true;
    if (ifNoneMatch.compare(i, 2, "W/") == 0) i += 2;
    if (i >= ifNoneMatch.size() || ifNoneMatch[i] != '"') return false;  // not a list of tags
    size_t end = ifNoneMatch.find('"', i + 1);
    if (end == std::string::npos) return false;
    if (ifNoneMatch.compare(i, end + 1 - i, etag) == 0) return true;
    i = end + 1;
  }
  return false;
}

void sendTagged(Connection& c, const HttpRequest& r, int status, const std::string& reason,
                const std::string& contentType, const std::string& body) {
  sendTagged(c, r, status, reason, contentType, body, bodyEtag(body));
}

void sendTagged(Connection& c, const HttpRequest& r, int status, const std::string& reason,
                const std::string& contentType, const std::string& body, const std::string& etag) {
  std::string asked = findHeader(r.headers, "if-none-match");
  if (!asked.empty() && etagMatches(asked, etag)) {
    sendAll(c, "HTTP/1.1 304 Not Modified\r\nDate: " + httpDate() +
                   "\r\nServer: HTTPVantrel\r\nConnection: close\r\nETag: " + etag + "\r\n\r\n");
    return;
  }
  sendResponse(c, status, reason, contentType, body, {{"ETag", etag}});
}

}  // namespace http
