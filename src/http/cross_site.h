// Requests that another site's page makes a logged-in browser send: a form
// or a no-cors fetch carries the session cookie of this server, even from
// another port of the same computer. Browsers say where a request comes
// from (Origin, Sec-Fetch-Site); requests without those headers come from
// scripts and other programs and stay welcome.
#pragma once

#include "http/connection.h"
#include "http/request.h"

namespace http {

// "" when the request may go on, else the reason it is refused.
const char* crossSiteRefusal(const HttpRequest& r, const char* scheme);
// The media type of a Content-Type value: before any ";", trimmed, lower-case.
std::string mediaType(const std::string& contentType);

// 403 for a request from another site or origin; with json, 415 for a body
// declared as anything but JSON, which no form can send without asking first.
bool sameOriginOrReply(Connection& c, const HttpRequest& r, bool json);

}  // namespace http
