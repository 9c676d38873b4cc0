#include "http/response.h"

#include <cstdio>

#include "sys/clock.h"

namespace http {

const char* const kTypeJson = "application/json; charset=utf-8";
const char* const kTypeHtml = "text/html; charset=utf-8";
const char* const kTypeText = "text/plain; charset=utf-8";

std::string responseHead(int status, const std::string& reason, const std::string& contentType,
                         unsigned long long contentLength, const HeaderList& extra) {
  std::string head;
  head.reserve(256);
  head += "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  head += "Date: " + httpDate() + "\r\n";
  head += "Server: HTTPVantrel\r\n";
  head += "Connection: close\r\n";
  head += "Content-Type: " + contentType + "\r\n";
  head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
  // JSON answers are data for the pages' scripts: never a document a browser
  // may guess another type for, never a copy kept on disk.
  if (contentType == kTypeJson) head += "X-Content-Type-Options: nosniff\r\nCache-Control: no-store\r\n";
  for (const auto& h : extra) head += h.first + ": " + h.second + "\r\n";
  head += "\r\n";
  return head;
}

namespace {

// Bodies up to this size leave with their head in one write: one segment
// (one TLS record) instead of two. Larger ones are not worth the copy.
constexpr size_t kJoinedBodyBytes = 16384;

// Write failures are not reported: the caller closes the connection anyway.
void sendHeadAndBody(Connection& c, std::string head, const void* body, size_t size) {
  if (size <= kJoinedBodyBytes) {
    if (size) head.append((const char*)body, size);
    sendAll(c, head);
    return;
  }
  sendAll(c, head);
  sendAll(c, body, size);
}

}  // namespace

void sendResponse(Connection& c, int status, const std::string& reason, const std::string& contentType,
                  const std::string& body, const HeaderList& extra) {
  sendHeadAndBody(c, responseHead(status, reason, contentType, body.size(), extra), body.data(), body.size());
}

void sendBytes(Connection& c, const std::string& contentType, const std::vector<unsigned char>& body,
               const HeaderList& extra) {
  sendHeadAndBody(c, responseHead(200, "OK", contentType, body.size(), extra), body.data(), body.size());
}

void sendJson(Connection& c, int status, const std::string& body) {
  sendResponse(c, status, status == 200 ? "OK" : "Error", kTypeJson, body);
}

void sendHtml(Connection& c, int status, const std::string& body) {
  sendResponse(c, status, "Error", kTypeHtml, body);
}

void sendText(Connection& c, int status, const std::string& reason, const std::string& body) {
  sendResponse(c, status, reason, kTypeText, body);
}

std::string formatHttpDate(int weekday, int day, int month, int year, int hour, int minute, int second) {
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* dayName = weekday >= 0 && weekday <= 6 ? days[weekday] : days[0];
  const char* monthName = month >= 1 && month <= 12 ? months[month - 1] : months[0];
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", dayName, day, monthName, year, hour,
                minute, second);
  return buf;
}

std::string httpDate() {
  sys::CalendarTime t = sys::utcNow();
  return formatHttpDate(t.weekday, t.day, t.month, t.year, t.hour, t.minute, t.second);
}

namespace {

bool isContinuation(const std::string& text, size_t at, unsigned char low = 0x80, unsigned char high = 0xBF) {
  if (at >= text.size()) return false;
  unsigned char ch = (unsigned char)text[at];
  return ch >= low && ch <= high;
}

// Bytes of the well-formed UTF-8 character at text[i] (shortest form, no
// surrogates, at most U+10FFFF), or 0 when none starts there.
size_t utf8Length(const std::string& text, size_t i) {
  unsigned char lead = (unsigned char)text[i];
  if (lead >= 0xC2 && lead <= 0xDF) return isContinuation(text, i + 1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return isContinuation(text, i + 1, low, high) && isContinuation(text, i + 2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    bool whole = isContinuation(text, i + 1, low, high) && isContinuation(text, i + 2) && isContinuation(text, i + 3);
    return whole ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string jsonEscape(const std::string& text) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 8);
  size_t i = 0;
  while (i < text.size()) {
    unsigned char ch = (unsigned char)text[i];
    if (ch >= 0x80) {
      // A name on disk need not be UTF-8; the answer must be. Each byte
      // that starts no character becomes U+FFFD.
      size_t n = utf8Length(text, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(text, i, n);
        i += n;
      }
      continue;
    }
    ++i;
    switch (ch) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (ch >= 0x20) {
          out.push_back((char)ch);
        } else {
          out += "\\u00";
          out.push_back(hex[ch >> 4]);
          out.push_back(hex[ch & 0xF]);
        }
    }
  }
  return out;
}

std::string jsonOk(const std::string& members) {
  if (members.empty()) return "{\"ok\":true}";
  return "{\"ok\":true," + members + "}";
}

std::string jsonError(const std::string& message) {
  return "{\"ok\":false,\"error\":\"" + jsonEscape(message) + "\"}";
}

std::string htmlErrorPage(const std::string& title, const std::string& message) {
  std::string p;
  p += "<!doctype html><html><head><meta charset='utf-8'/>";
  p += "<meta name='viewport' content='width=device-width, initial-scale=1'/>";
  p += "<title>" + title + "</title>";
  p += "<style>";
  p += "body{font-family:Segoe UI,system-ui,sans-serif;padding:22px;background:#fff;color:#111}";
  p += ".card{max-width:520px;border:1px solid #ddd;border-radius:12px;padding:16px}";
  p += ".err{color:#b00020;font-weight:600}";
  p += "a{color:#0066cc;text-decoration:none} a:hover{text-decoration:underline}";
  p += "</style></head><body>";
  p += "<div class='card'>";
  p += "<h2 style='margin:0 0 10px 0;'>" + title + "</h2>";
  p += "<div class='err'>" + message + "</div>";
  p += "<div style='margin-top:12px;'><a href='/'>Back to login</a></div>";
  p += "</div></body></html>";
  return p;
}

}  // namespace http
