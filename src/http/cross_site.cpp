#include "http/cross_site.h"

#include "core/ascii_case.h"
#include "core/flavour.h"
#include "http/response.h"

namespace http {

namespace {

// "scheme://host[:port]" with the scheme's own port left out, as browsers
// write an Origin.
std::string canonicalOrigin(std::string origin) {
  origin = core::lowerAscii(origin);
  for (const char* standard : {"https://", "http://"}) {
    std::string prefix = standard;
    std::string port = prefix == "https://" ? ":443" : ":80";
    if (origin.rfind(prefix, 0) == 0 && origin.size() > port.size() &&
        origin.compare(origin.size() - port.size(), port.size(), port) == 0)
      origin.resize(origin.size() - port.size());
  }
  return origin;
}

}  // namespace

std::string mediaType(const std::string& contentType) {
  std::string type = contentType.substr(0, contentType.find(';'));
  size_t first = type.find_first_not_of(" \t");
  size_t last = type.find_last_not_of(" \t");
  return first == std::string::npos ? std::string() : core::lowerAscii(type.substr(first, last - first + 1));
}

const char* crossSiteRefusal(const HttpRequest& r, const char* scheme) {
  std::string site = core::lowerAscii(findHeader(r.headers, "sec-fetch-site"));
  if (site == "cross-site" || site == "same-site") return "Cross-site request refused";
  bool hasOrigin = false;
  for (const auto& h : r.headers) hasOrigin = hasOrigin || h.first == "origin";
  if (!hasOrigin) return "";
  std::string own = canonicalOrigin(std::string(scheme) + "://" + findHeader(r.headers, "host"));
  if (canonicalOrigin(findHeader(r.headers, "origin")) != own) return "Cross-origin request refused";
  return "";
}

bool sameOriginOrReply(Connection& c, const HttpRequest& r, bool json) {
  const char* refusal = crossSiteRefusal(r, core::flavour().network.scheme);
  if (*refusal) {
    sendJson(c, 403, jsonError(refusal));
    return false;
  }
  std::string type = findHeader(r.headers, "content-type");
  if (json && !type.empty() && mediaType(type) != "application/json") {
    sendJson(c, 415, jsonError("Content-Type must be application/json"));
    return false;
  }
  return true;
}

}  // namespace http
