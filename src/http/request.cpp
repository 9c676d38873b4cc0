#include "http/request.h"

#include <cctype>
#include <chrono>
#include <cstdint>
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
  r.clientLabel = makeClientLabel(r.clientHost, r.clientPort, core::flavour().network.stripMappedPrefix);
}

HeadRead gatherHead(Connection& c, PendingHead& p, int patienceMs) {
  if (p.length != 0) return HeadRead::Complete;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs > 0 ? patienceMs : 0);
  char piece[kHeadReadPiece];
  for (;;) {
    int n;
    if (patienceMs < 0) {
      n = readSome(c, piece, (int)sizeof piece);
    } else {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      n = readWithin(c, piece, (int)sizeof piece, left.count() > 0 ? (int)left.count() : 0);
      if (n < 0) return HeadRead::Waiting;
    }
    if (n <= 0) return HeadRead::Failed;
    p.bytes.append(piece, (size_t)n);
    // Only the new bytes and the three before them can complete the blank line.
    size_t at = p.bytes.find("\r\n\r\n", p.searchFrom);
    if (at != std::string::npos) {
      p.length = at + 4;
      p.drained = c.readDrained;
      return HeadRead::Complete;
    }
    if (p.bytes.size() > kMaxHeadBytes) return HeadRead::Failed;
    p.searchFrom = p.bytes.size() >= 3 ? p.bytes.size() - 3 : 0;
  }
}

void takeHead(PendingHead& p, std::string& head, std::string& bodyPrefix) {
  head.assign(p.bytes, 0, p.length);
  bodyPrefix.assign(p.bytes, p.length, std::string::npos);
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

BodyRead readBody(Connection& c, const HttpRequest& r, std::string& body) {
  body.clear();
  unsigned long long length = declaredLength(r.headers);
  if (length > kMaxBodyBytes) return BodyRead::TooLarge;
  // Bytes past the declared length that came with the head are no part of it.
  body.assign(r.bodyPrefix, 0, (size_t)length);
  if (length > body.size()) {
    continueIfExpected(c, r);
    body += readExact(c, length - body.size());
  }
  if (body.size() == length) return BodyRead::Complete;
  body.clear();
  return BodyRead::CutShort;
}

void continueIfExpected(Connection& c, const HttpRequest& r) {
  if (c.continueSent || r.bodyPrefix.size() >= declaredLength(r.headers)) return;
  std::string expect = findHeader(r.headers, "expect");
  for (char& ch : expect) ch = (char)std::tolower((unsigned char)ch);
  if (expect != "100-continue") return;
  c.continueSent = true;
  sendAll(c, "HTTP/1.1 100 Continue\r\n\r\n");
}

bool isChunked(const HeaderList& headers) {
  std::string v = findHeader(headers, "transfer-encoding");
  for (char& ch : v) ch = (char)std::tolower((unsigned char)ch);
  return v.find("chunked") != std::string::npos;
}

namespace {

bool isJsonSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

void skipJsonSpace(const std::string& text, size_t& i) {
  while (i < text.size() && isJsonSpace(text[i])) ++i;
}

// The four hexadecimal digits at text[i], or -1.
long hex4(const std::string& text, size_t i) {
  if (i + 4 > text.size()) return -1;
  long v = 0;
  for (size_t k = i; k < i + 4; ++k) {
    int d = hexValue(text[k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back((char)cp);
  } else if (cp < 0x800) {
    out.push_back((char)(0xC0 | (cp >> 6)));
    out.push_back((char)(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back((char)(0xE0 | (cp >> 12)));
    out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back((char)(0x80 | (cp & 0x3F)));
  } else {
    out.push_back((char)(0xF0 | (cp >> 18)));
    out.push_back((char)(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back((char)(0x80 | (cp & 0x3F)));
  }
}

constexpr uint32_t kReplacement = 0xFFFD;

// The character of a \u escape whose digits start at text[i]; i ends past
// them, and past a second escape that completes a surrogate pair. What
// names no character (a lone surrogate, digits missing) is U+FFFD.
uint32_t unicodeEscape(const std::string& text, size_t& i) {
  long unit = hex4(text, i);
  if (unit < 0) return kReplacement;
  i += 4;
  if (unit < 0xD800 || unit > 0xDFFF) return (uint32_t)unit;
  if (unit > 0xDBFF || i + 1 >= text.size() || text[i] != '\\' || text[i + 1] != 'u') return kReplacement;
  long low = hex4(text, i + 2);
  if (low < 0xDC00 || low > 0xDFFF) return kReplacement;
  i += 6;
  return 0x10000 + (((uint32_t)unit - 0xD800) << 10) + ((uint32_t)low - 0xDC00);
}

// Decodes the JSON string whose opening quote is at text[i]; i ends past
// its closing quote. The readers call it on complete objects only, so the
// string is closed; an unknown escape stands for the byte after the
// backslash.
std::string collectJsonString(const std::string& text, size_t& i) {
  std::string out;
  ++i;
  while (i < text.size()) {
    char ch = text[i++];
    if (ch == '"') break;
    if (ch != '\\') {
      out.push_back(ch);
      continue;
    }
    if (i >= text.size()) break;
    char e = text[i++];
    switch (e) {
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': appendUtf8(out, unicodeEscape(text, i)); break;
      default: out.push_back(e);
    }
  }
  return out;
}

// Steps over the string whose opening quote is at text[i]; false when the
// text ends inside it.
bool skipJsonString(const std::string& text, size_t& i) {
  for (++i; i < text.size(); ++i) {
    if (text[i] == '"') {
      ++i;
      return true;
    }
    if (text[i] == '\\') ++i;
  }
  return false;
}

bool skipDigits(const std::string& text, size_t& i) {
  size_t from = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return i > from;
}

bool skipJsonNumber(const std::string& text, size_t& i) {
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '0')
    ++i;
  else if (!skipDigits(text, i))
    return false;
  if (i < text.size() && text[i] == '.' && !skipDigits(text, ++i)) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!skipDigits(text, i)) return false;
  }
  return true;
}

bool skipJsonScalar(const std::string& text, size_t& i) {
  for (const char* word : {"true", "false", "null"}) {
    size_t n = std::strlen(word);
    if (text.compare(i, n, word) == 0) {
      i += n;
      return true;
    }
  }
  return skipJsonNumber(text, i);
}

// A member's name and the colon after it.
bool skipMemberName(const std::string& text, size_t& i) {
  skipJsonSpace(text, i);
  if (i >= text.size() || text[i] != '"' || !skipJsonString(text, i)) return false;
  skipJsonSpace(text, i);
  if (i >= text.size() || text[i] != ':') return false;
  ++i;
  return true;
}

// Steps over one complete value of any kind; false when it is malformed or
// the text ends inside it. The brackets still to close are kept in a string,
// not on the call stack, so depth costs no stack.
bool skipJsonValue(const std::string& text, size_t& i) {
  std::string closers;
  for (;;) {
    skipJsonSpace(text, i);
    if (i >= text.size()) return false;
    char ch = text[i];
    if (ch == '{' || ch == '[') {
      char closer = ch == '{' ? '}' : ']';
      ++i;
      skipJsonSpace(text, i);
      if (i >= text.size() || text[i] != closer) {
        closers.push_back(closer);
        if (closer == '}' && !skipMemberName(text, i)) return false;
        continue;
      }
      ++i;
    } else if (ch == '"' ? !skipJsonString(text, i) : !skipJsonScalar(text, i)) {
      return false;
    }
    // A value ended: close what ends with it; a comma leads to the next one.
    for (;;) {
      if (closers.empty()) return true;
      skipJsonSpace(text, i);
      if (i >= text.size()) return false;
      if (text[i] != closers.back()) break;
      closers.pop_back();
      ++i;
    }
    if (text[i] != ',') return false;
    ++i;
    if (closers.back() == '}' && !skipMemberName(text, i)) return false;
  }
}

// One complete object with nothing but blanks after it.
bool isJsonObject(const std::string& text) {
  size_t i = 0;
  skipJsonSpace(text, i);
  if (i >= text.size() || text[i] != '{' || !skipJsonValue(text, i)) return false;
  skipJsonSpace(text, i);
  return i == text.size();
}

// Position of the value of the object's own member key (the first one of
// that name), or npos. Members of nested objects and text inside string
// values are never taken for it.
size_t findMember(const std::string& json, const std::string& key) {
  if (!isJsonObject(json)) return std::string::npos;
  size_t i = 0;
  skipJsonSpace(json, i);
  ++i;
  for (;;) {
    skipJsonSpace(json, i);
    if (i >= json.size() || json[i] != '"') return std::string::npos;
    std::string name = collectJsonString(json, i);
    skipJsonSpace(json, i);
    if (i >= json.size() || json[i] != ':') return std::string::npos;
    ++i;
    skipJsonSpace(json, i);
    if (i >= json.size()) return std::string::npos;
    if (name == key) return i;
    if (!skipJsonValue(json, i)) return std::string::npos;
    skipJsonSpace(json, i);
    if (i >= json.size() || json[i] != ',') return std::string::npos;
    ++i;
  }
}

}  // namespace

std::string jsonStringField(const std::string& json, const std::string& key) {
  size_t i = findMember(json, key);
  if (i == std::string::npos || json[i] != '"') return {};
  return collectJsonString(json, i);
}

bool jsonStringArray(const std::string& json, const std::string& key, std::vector<std::string>& out) {
  out.clear();
  size_t i = findMember(json, key);
  if (i == std::string::npos || json[i] != '[') return false;
  ++i;
  skipJsonSpace(json, i);
  if (i < json.size() && json[i] == ']') return true;
  // The object is complete, so the array is closed and well formed: only
  // the kind of each element is left to check.
  for (;;) {
    skipJsonSpace(json, i);
    if (i >= json.size() || json[i] != '"') {
      out.clear();
      return false;
    }
    out.push_back(collectJsonString(json, i));
    skipJsonSpace(json, i);
    if (i >= json.size() || json[i] == ']') return true;
    ++i;
  }
}

std::string jsonScalarText(const std::string& json, const std::string& key) {
  size_t i = findMember(json, key);
  if (i == std::string::npos) return {};
  if (json[i] == '"') return collectJsonString(json, i);
  if (json[i] != '-' && (json[i] < '0' || json[i] > '9')) return {};
  size_t end = i;
  if (!skipJsonValue(json, end)) return {};
  return json.substr(i, end - i);
}

}  // namespace http
