#include "http/host_names.h"

#include "core/ascii_case.h"
#include "http/response.h"

namespace http {

namespace {

std::vector<std::string> allowedNames;

bool allDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char ch : text)
    if (ch < '0' || ch > '9') return false;
  return true;
}

bool isIpv4Literal(const std::string& host) {
  size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    size_t dot = host.find('.', start);
    if ((part < 3) != (dot != std::string::npos)) return false;
    std::string piece = host.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (!allDigits(piece) || piece.size() > 3 || std::stoi(piece) > 255) return false;
    start = dot + 1;
  }
  return true;
}

// The inside of "[...]": hex digits, colons and dots, an optional zone.
bool isIpv6Literal(const std::string& inside) {
  std::string address = inside.substr(0, inside.find('%'));
  if (address.find(':') == std::string::npos) return false;
  for (char ch : address) {
    bool hex = (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
    if (!hex && ch != ':' && ch != '.') return false;
  }
  return true;
}

}  // namespace

void setAllowedHostNames(const std::vector<std::string>& names) { allowedNames = names; }

bool isAllowedHost(const std::string& hostHeader, const std::vector<std::string>& names) {
  if (hostHeader.empty()) return true;
  std::string host = hostHeader, port;
  if (host.front() == '[') {
    size_t close = host.find(']');
    if (close == std::string::npos) return false;
    std::string rest = host.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || !allDigits(rest.substr(1)))) return false;
    return isIpv6Literal(host.substr(1, close - 1));
  }
  size_t colon = host.find(':');
  if (colon != std::string::npos) {
    if (!allDigits(host.substr(colon + 1))) return false;
    host.resize(colon);
  }
  host = core::lowerAscii(host);
  if (!host.empty() && host.back() == '.') host.pop_back();  // the fully qualified spelling
  if (host.empty()) return false;
  if (isIpv4Literal(host) || host == "localhost") return true;
  for (const std::string& name : names)
    if (host == name) return true;
  return false;
}

bool allowedHostOrReply(Connection& c, const HttpRequest& r) {
  if (isAllowedHost(findHeader(r.headers, "host"), allowedNames)) return true;
  sendResponse(c, 421, "Misdirected Request", kTypeHtml,
               htmlErrorPage("Unknown host name",
                             "This server answers to its IP addresses, localhost and this computer's name. To "
                             "reach it by another name, add that name to the setting AllowedHostNames (names "
                             "separated by commas) and restart the program."));
  return false;
}

std::vector<std::string> splitHostNames(const std::string& setting) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= setting.size()) {
    size_t comma = setting.find(',', start);
    if (comma == std::string::npos) comma = setting.size();
    std::string name = setting.substr(start, comma - start);
    size_t first = name.find_first_not_of(" \t");
    size_t last = name.find_last_not_of(" \t");
    if (first != std::string::npos) names.push_back(core::lowerAscii(name.substr(first, last - first + 1)));
    start = comma + 1;
  }
  return names;
}

}  // namespace http
