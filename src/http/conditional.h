// Conditional answers: a client that already holds the current bytes of an
// answer (it names their tag in If-None-Match) gets "304 Not Modified" and
// no body.
#pragma once
#include <string>

#include "http/connection.h"
#include "http/request.h"

namespace http {

// A strong entity tag computed from the bytes of a body, quotes included.
std::string bodyEtag(const std::string& body);

// Whether an If-None-Match value names etag: one of its comma-separated
// tags (weak ones compared by their opaque part) or "*".
bool etagMatches(const std::string& ifNoneMatch, const std::string& etag);

// Sends body with its tag, or 304 when the request's If-None-Match names
// that tag already.
void sendTagged(Connection& c, const HttpRequest& r, int status, const std::string& reason,
                const std::string& contentType, const std::string& body);
// The same for a body whose tag is known already.
void sendTagged(Connection& c, const HttpRequest& r, int status, const std::string& reason,
                const std::string& contentType, const std::string& body, const std::string& etag);

}  // namespace http
