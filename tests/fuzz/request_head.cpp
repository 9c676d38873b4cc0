// The request head reader and parser, and the query and percent decoding
// the endpoints apply to what they yield. The head is read twice, in the
// fuzzer's pieces and in one, and both reads must agree.

#include "http/request.h"
#include "memory_transport.h"

namespace {

struct HeadRead {
  bool ok = false;
  std::string head, bodyPrefix, body;
};

HeadRead readRequest(const std::string& stream, const std::string& plan) {
  HeadRead out;
  fuzz::setMemoryStream(stream, plan);
  http::Connection c;
  http::PendingHead pending;
  out.ok = http::gatherHead(c, pending, -1) == http::HeadRead::Complete;
  if (!out.ok) return out;
  http::takeHead(pending, out.head, out.bodyPrefix);
  http::HttpRequest r;
  if (!http::parseHead(out.head, r)) return out;
  r.bodyPrefix = out.bodyPrefix;
  http::BodyRead read = http::readBody(c, r, out.body);
  if (read == http::BodyRead::TooLarge) out.body = "(too large)";
  if (read == http::BodyRead::CutShort) out.body = "(cut short)";
  if (read == http::BodyRead::Complete) FUZZ_CHECK(out.body.size() == http::declaredLength(r.headers));
  return out;
}

bool isBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f'; }

void checkParse(const std::string& head) {
  http::HttpRequest r;
  if (!http::parseHead(head, r)) return;
  for (const std::string* token : {&r.method, &r.target, &r.version}) {
    FUZZ_CHECK(!token->empty());
    for (char ch : *token) FUZZ_CHECK(!isBlank(ch));
  }
  for (const auto& h : r.headers) {
    FUZZ_CHECK(h.first.find(':') == std::string::npos);
    for (char ch : h.first) FUZZ_CHECK(!(ch >= 'A' && ch <= 'Z'));
    FUZZ_CHECK(h.second.find('\n') == std::string::npos);
  }
  http::splitTarget(r);
  FUZZ_CHECK(r.path.find('?') == std::string::npos);
  FUZZ_CHECK(r.target == (r.path.size() == r.target.size() ? r.path : r.path + "?" + r.query));
  http::declaredLength(r.headers);
  http::isChunked(r.headers);
}

// The first "key=value" member of the query, the plain way.
std::string firstMember(const std::string& query, const std::string& key) {
  size_t pos = 0;
  for (;;) {
    size_t amp = query.find('&', pos);
    std::string member = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
    if (member.size() > key.size() && member.compare(0, key.size(), key) == 0 && member[key.size()] == '=')
      return member.substr(key.size() + 1);
    if (amp == std::string::npos) return {};
    pos = amp + 1;
  }
}

// Every byte percent-encoded, in hex of mixed case, decodes to itself.
void checkPercentRoundTrip(const std::string& bytes, uint8_t caseBits) {
  static const char kLower[] = "0123456789abcdef";
  static const char kUpper[] = "0123456789ABCDEF";
  std::string encoded;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char* digits = (caseBits >> (i % 8)) & 1 ? kUpper : kLower;
    unsigned char b = (unsigned char)bytes[i];
    encoded += '%';
    encoded += digits[b >> 4];
    encoded += digits[b & 15];
  }
  FUZZ_CHECK(http::urlDecode(encoded) == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  std::string plan = fuzz::takeString(in, 16);
  std::string key = fuzz::takeString(in, 8);
  uint8_t caseBits = fuzz::takeByte(in);
  std::string stream = fuzz::takeRest(in);

  HeadRead pieces = readRequest(stream, plan);
  HeadRead whole = readRequest(stream, {});
  FUZZ_CHECK(pieces.ok == whole.ok);
  if (pieces.ok) {
    FUZZ_CHECK(pieces.head == whole.head);
    FUZZ_CHECK(pieces.body == whole.body);
    FUZZ_CHECK(pieces.head.size() >= 4 && pieces.head.find("\r\n\r\n") == pieces.head.size() - 4);
    FUZZ_CHECK(stream.compare(0, pieces.head.size() + pieces.bodyPrefix.size(), pieces.head + pieces.bodyPrefix) == 0);
    checkParse(pieces.head);
  } else {
    FUZZ_CHECK(stream.find("\r\n\r\n") == std::string::npos);
  }
  checkParse(stream);

  std::string decoded = http::urlDecode(stream);
  FUZZ_CHECK(decoded.size() <= stream.size());
  FUZZ_CHECK(http::queryParam(stream, key) == firstMember(stream, key));
  checkPercentRoundTrip(key + stream.substr(0, 64), caseBits);
  return 0;
}
