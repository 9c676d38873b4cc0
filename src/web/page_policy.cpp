#include "web/page_policy.h"

#include "sys/sha256.h"

namespace web {

namespace {

std::string base64OfHex(const std::string& hex) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    unsigned v = (unsigned char)bytes[i] << 16;
    if (i + 1 < bytes.size()) v |= (unsigned char)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) v |= (unsigned char)bytes[i + 2];
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? alphabet[v & 63] : '=';
  }
  return out;
}

}  // namespace

std::string inlineHashes(const std::string& page, const char* element) {
  std::string open = std::string("<") + element + ">", close = std::string("</") + element + ">";
  std::string hashes;
  for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
    size_t start = at + open.size();
    size_t end = page.find(close, start);
    if (end == std::string::npos) break;
    hashes += " 'sha256-" + base64OfHex(sys::sha256Hex(page.substr(start, end - start))) + "'";
    at = end + close.size();
  }
  return hashes;
}

std::string contentSecurityPolicy(const std::string& page) {
  // Icons are data: URLs in the style sheet; the viewer shows the files
  // themselves, which come from this server.
  return "default-src 'self'; script-src" + inlineHashes(page, "script") + "; style-src" +
         inlineHashes(page, "style") +
         "; img-src 'self' data: blob:; media-src 'self' blob:; object-src 'none'; base-uri 'none'; "
         "form-action 'self'; frame-ancestors 'none'";
}

http::HeaderList pageHeaders(const std::string& policy) {
  return {{"Content-Security-Policy", policy},
          {"X-Frame-Options", "DENY"},
          {"Referrer-Policy", "no-referrer"},
          {"X-Content-Type-Options", "nosniff"}};
}

}  // namespace web
