#include "http/request.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/flavour.h"

namespace http {

std::string makeClientLabel(const std::string& host, const std::string& port, bool stripMapped) {
  if (stripMapped && host.compare(0, 7, "::ffff:") == 0) return host.substr(7) + ":" + port;
  return host + ":" + port;
}

void describeClient(const sys::PeerAddress& peer, HttpRequest& r) {
  if (!sys::numericPeer(peer, r.clientHost, r.clientPort)) {
    r.clientHost.clear();
    r.clientPort.clear();
  }
  r.clientLabel = makeClientLabel(r.clientHost, r.clientPort, core::flavour().stripMappedPrefix);
}

bool readHead(Connection& c, std::string& head, std::string& bodyPrefix) {
  std::string buf;
  buf.reserve(8192);
  char piece[kHeadReadPiece];
  size_t searchFrom = 0;
  for (;;) {
    int n = readSome(c, piece, (int)sizeof piece);
    if (n <= 0) return false;
    buf.append(piece, (size_t)n);
    // Only the new bytes and the three before them can complete the blank line.
    size_t p = buf.find("\r\n\r\n", searchFrom);
    if (p != std::string::npos) {
      head.assign(buf, 0, p + 4);
      bodyPrefix.assign(buf, p + 4, std::string::npos);
      return true;
    }
    if (buf.size() > kMaxHeadBytes) return false;
    searchFrom = buf.size() >= 3 ? buf.size() - 3 : 0;
  }
}

static bool isBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f'; }

bool parseHead(const std::string& head, HttpRequest& r) {
  r.headers.clear();
  size_t pos = 0;
  bool first = true;
  while (pos < head.size()) {
    size_t eol = head.find('\n', pos);
    size_t end = eol == std::string::npos ? head.size() : eol;
    std::string line(head, pos, end - pos);
    pos = eol == std::string::npos ? head.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      first = false;
      std::string tokens[3];
      size_t i = 0;
      int count = 0;
      while (count < 3) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        tokens[count++] = line.substr(start, i - start);
      }
      if (count < 3) return false;
      r.method = tokens[0];
      r.target = tokens[1];
      r.version = tokens[2];
      continue;
    }
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    for (char& ch : name)
      if (ch >= 'A' && ch <= 'Z') ch = (char)(ch - 'A' + 'a');
    size_t v = colon + 1;
    while (v < line.size() && (line[v] == ' ' || line[v] == '\t')) ++v;
    r.headers.emplace_back(std::move(name), line.substr(v));
  }
  return !first;
}

void splitTarget(HttpRequest& r) {
  size_t q = r.target.find('?');
  if (q == std::string::npos) {
    r.path = r.target;
    r.query.clear();
  } else {
    r.path = r.target.substr(0, q);
    r.query = r.target.substr(q + 1);
  }
}

std::string findHeader(const HeaderList& headers, const std::string& lowerName) {
  for (const auto& h : headers)
    if (h.first == lowerName) return h.second;
  return {};
}

std::string queryParam(const std::string& query, const std::string& key) {
  size_t pos = 0;
  while (pos <= query.size()) {
    size_t amp = query.find('&', pos);
    size_t end = amp == std::string::npos ? query.size() : amp;
    if (end - pos > key.size() && query.compare(pos, key.size(), key) == 0 && query[pos + key.size()] == '=')
      return query.substr(pos + key.size() + 1, end - pos - key.size() - 1);
    if (amp == std::string::npos) break;
    pos = amp + 1;
  }
  return {};
}

static int hexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

std::string urlDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (ch == '+') {
      out.push_back(' ');
    } else if (ch == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out.push_back((char)(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

unsigned long long declaredLength(const HeaderList& headers) {
  std::string v = findHeader(headers, "content-length");
  if (v.empty()) return 0;
  return std::strtoull(v.c_str(), nullptr, 10);
}

bool readBody(Connection& c, const HttpRequest& r, std::string& body) {
  unsigned long long length = declaredLength(r.headers);
  body = r.bodyPrefix;
  if (length > kMaxBodyBytes) {
    body.clear();
    return false;
  }
  if (length > body.size()) body += readExact(c, length - body.size());
  return true;
}

bool isChunked(const HeaderList& headers) {
  std::string v = findHeader(headers, "transfer-encoding");
  for (char& ch : v) ch = (char)std::tolower((unsigned char)ch);
  return v.find("chunked") != std::string::npos;
}

// Collects a JSON string whose opening quote is at text[i]; i ends past it.
static std::string collectJsonString(const std::string& text, size_t& i) {
  std::string out;
  ++i;
  while (i < text.size()) {
    char ch = text[i++];
    if (ch == '"') break;
    if (ch == '\\') {
      if (i >= text.size()) break;
      char e = text[i++];
      out.push_back(e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

// Position just past the colon that follows the quoted key, or npos.
static size_t afterKeyColon(const std::string& json, const std::string& key) {
  size_t k = json.find("\"" + key + "\"");
  if (k == std::string::npos) return std::string::npos;
  size_t colon = json.find(':', k + key.size() + 2);
  return colon == std::string::npos ? colon : colon + 1;
}

std::string jsonStringField(const std::string& json, const std::string& key) {
  size_t i = afterKeyColon(json, key);
  if (i == std::string::npos) return {};
  while (i < json.size() && (json[i] == ' ' || json[i] == '\r' || json[i] == '\n' || json[i] == '\t')) ++i;
  if (i >= json.size() || json[i] != '"') return {};
  return collectJsonString(json, i);
}

bool jsonStringArray(const std::string& json, const std::string& key, std::vector<std::string>& out) {
  out.clear();
  size_t i = afterKeyColon(json, key);
  if (i == std::string::npos) return false;
  auto skipSpace = [&] {
    while (i < json.size() && std::isspace((unsigned char)json[i])) ++i;
  };
  skipSpace();
  if (i >= json.size() || json[i] != '[') return false;
  if (++i == json.size()) return true;
  for (;;) {
    skipSpace();
    if (i >= json.size()) return false;
    if (json[i] == ']') return true;
    if (json[i] != '"') return false;
    out.push_back(collectJsonString(json, i));
    skipSpace();
    if (i >= json.size()) return true;
    if (json[i] == ',') ++i;
    if (i >= json.size() || json[i] == ']') return true;
  }
}

}  // namespace http
