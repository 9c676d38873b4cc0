#include "files/tus_reply.h"

#include "http/response.h"

namespace files {

const char* const kTusVersion = "1.0.0";

void sendTusHead(http::Connection& c, int status, const std::string& reason, const http::HeaderList& extra) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  head += "Date: " + http::httpDate() + "\r\n";
  head += "Server: HTTPVantrel\r\n";
  head += "Connection: close\r\n";
  head += std::string("Tus-Resumable: ") + kTusVersion + "\r\n";
  // A 204 carries no length at all; the others say there is no body.
  if (status != 204) head += "Content-Length: 0\r\n";
  for (const auto& h : extra) head += h.first + ": " + h.second + "\r\n";
  head += "\r\n";
  http::sendAll(c, head);
}

void sendTusError(http::Connection& c, const http::HttpRequest& r, int status, const std::string& reason,
                  const std::string& message, const http::HeaderList& extra) {
  if (r.method == "HEAD") {
    sendTusHead(c, status, reason, extra);
    return;
  }
  http::HeaderList headers = {{"Tus-Resumable", kTusVersion}};
  headers.insert(headers.end(), extra.begin(), extra.end());
  http::sendResponse(c, status, reason, http::kTypeJson, http::jsonError(message), headers);
}

std::string httpDateAt(uint64_t seconds) {
  // Days since 1970 to the civil date, proleptic Gregorian.
  int64_t days = (int64_t)(seconds / 86400), rest = (int64_t)(seconds % 86400);
  int weekday = (int)((days + 4) % 7);  // 1970-01-01 was a Thursday
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int day = (int)(doy - (153 * mp + 2) / 5 + 1);
  int month = (int)(mp < 10 ? mp + 3 : mp - 9);
  int year = (int)(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return http::formatHttpDate(weekday, day, month, year, (int)(rest / 3600), (int)(rest / 60 % 60), (int)(rest % 60));
}

std::string percentEncode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char ch : text) {
    bool plain = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
                 ch == '.' || ch == '_' || ch == '~';
    if (plain) {
      out += (char)ch;
    } else {
      out += '%';
      out += hex[ch >> 4];
      out += hex[ch & 0xF];
    }
  }
  return out;
}

}  // namespace files
