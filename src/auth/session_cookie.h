// The session cookie: reading it from a Cookie header and issuing it.
#pragma once
#include <string>

namespace auth {

// The value of the first item of the header that begins with name + "=";
// names match exactly, nothing is trimmed or decoded. Empty when absent.
std::string cookieValue(const std::string& header, const std::string& name);
// The Set-Cookie value for a new session, named after the program's cookie.
std::string sessionCookie(const std::string& token);

}  // namespace auth
