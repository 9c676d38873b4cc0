// Which names the server answers to. A web page whose name an attacker
// points first at his own server and then at this computer would otherwise
// talk to us as its own origin; so only addresses, localhost, this
// computer's own name and the names the owner allows are served.
#pragma once
#include <string>
#include <vector>

#include "http/connection.h"
#include "http/request.h"

namespace http {

// Names besides addresses and localhost, lower-case: this computer's name
// (plain and with ".local") and the owner's. Set once at start-up, before
// the server starts; only read afterwards.
void setAllowedHostNames(const std::vector<std::string>& names);

// A Host header value (host, optional ":port"; IPv6 in brackets) that names
// an IP literal, localhost or one of the names. An absent header is fine:
// browsers always send one.
bool isAllowedHost(const std::string& hostHeader, const std::vector<std::string>& names);

// 421 with a short page that says how to allow a name, unless the request's
// Host is allowed.
bool allowedHostOrReply(Connection& c, const HttpRequest& r);

// The names of a comma-separated setting: trimmed, lower-case, empty ones
// dropped.
std::vector<std::string> splitHostNames(const std::string& setting);

}  // namespace http
