#include "auth/session_cookie.h"

#include "core/flavour.h"
#include "auth/login.h"
#include "auth/sessions.h"

namespace auth {

std::string cookieValue(const std::string& header, const std::string& name) {
  const std::string prefix = name + "=";
  size_t pos = 0;
  for (;;) {
    while (pos < header.size() && (header[pos] == ' ' || header[pos] == ';')) ++pos;
    if (pos >= header.size()) return {};
    size_t end = header.find(';', pos);
    if (end == std::string::npos) end = header.size();
    if (end - pos >= prefix.size() && header.compare(pos, prefix.size(), prefix) == 0)
      return header.substr(pos + prefix.size(), end - pos - prefix.size());
    pos = end;
  }
}

std::string sessionCookie(const std::string& token) {
  const core::Flavour& f = core::flavour();
  return std::string(f.auth.cookieName) + "=" + token + "; Path=/; Max-Age=" + std::to_string(kSessionSeconds) +
         "; SameSite=Lax" + (f.network.tls ? "; Secure" : "") + "; HttpOnly";
}

bool isAuthenticated(const http::HttpRequest& r) {
  purgeExpiredSessions();
  std::string token = cookieValue(http::findHeader(r.headers, "cookie"), core::flavour().auth.cookieName);
  return !token.empty() && sessionValid(token);
}

}  // namespace auth
