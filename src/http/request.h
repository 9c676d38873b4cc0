// Reading one HTTP request: the head, its parse, and the small readers the
// endpoints use on demand (query parameters, bodies, flat JSON members).
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "http/connection.h"
#include "sys/net.h"

namespace http {

// Ordered (name, value) pairs; request names are lower-cased.
using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  std::string method, target, version;
  std::string path;   // target before the first "?", not decoded
  std::string query;  // after the first "?"
  HeaderList headers;
  std::string bodyPrefix;  // body bytes that came with the head
  std::string clientHost;  // numeric; IPv4 peers in the "::ffff:" form
  std::string clientPort;
  std::string clientLabel;  // host:port for log lines
  // The stored client path of the share whose token opened the request;
  // set by the share gates, empty elsewhere.
  std::string sharedPath;
};

constexpr size_t kHeadReadPiece = 2048;
constexpr size_t kMaxHeadBytes = 1048576;
// Bodies read into memory (the JSON endpoints); uploads stream instead.
constexpr unsigned long long kMaxBodyBytes = 1048576;

void describeClient(const sys::PeerAddress& peer, HttpRequest& r);
// "host:port", with "::ffff:" removed when stripMapped is set.
std::string makeClientLabel(const std::string& host, const std::string& port, bool stripMapped);

// A request head as it arrives, over one read or many, on the listener or
// on a connection thread.
struct PendingHead {
  std::string bytes;      // everything read so far
  size_t searchFrom = 0;  // where the blank line may begin
  size_t length = 0;      // of the head through its blank line, once it is there
  bool drained = false;   // the read that completed it left nothing waiting (see Connection)
};
enum class HeadRead { Complete, Waiting, Failed };
// Reads until the head's blank line has arrived. patienceMs < 0: each read
// waits as the transport lets it (its idle time-out). Else Waiting once
// patienceMs have passed without the whole head (0: once nothing more has
// arrived). Failed when the peer closed or failed, or sent more than
// kMaxHeadBytes without a blank line.
HeadRead gatherHead(Connection& c, PendingHead& p, int patienceMs);
// Splits a complete head from the body bytes that came behind it.
void takeHead(PendingHead& p, std::string& head, std::string& bodyPrefix);
bool parseHead(const std::string& head, HttpRequest& r);
void splitTarget(HttpRequest& r);

std::string findHeader(const HeaderList& headers, const std::string& lowerName);
std::string queryParam(const std::string& query, const std::string& key);
std::string urlDecode(const std::string& text);
// Content-Length read the way strtoull reads it (no digits: 0).
unsigned long long declaredLength(const HeaderList& headers);

enum class BodyRead {
  Complete,
  TooLarge,  // the declared length exceeds kMaxBodyBytes; nothing was read
  CutShort,  // the stream ended (closed, failed, idle too long) before the last byte
};
// The body by Content-Length, starting with bodyPrefix and ending at the
// declared length. Empty unless Complete.
BodyRead readBody(Connection& c, const HttpRequest& r, std::string& body);
// A client that sent "Expect: 100-continue" waits for the interim answer
// before it sends the body: called just before a body is read, once it is
// certain the body will be read. Sends it at most once, and not when the
// body has already arrived.
void continueIfExpected(Connection& c, const HttpRequest& r);
bool isChunked(const HeaderList& headers);

// Members of the flat JSON objects the pages send, looked up among the
// object's own members only (the first of a name counts). Strings come
// back decoded, \u escapes and surrogate pairs as UTF-8; a lone surrogate
// becomes U+FFFD. Empty, or false, when the member is absent or of another
// kind, and for every member of a text that is not one complete object: a
// string, array or object left open, a malformed value, or anything but
// blanks after the object, so a body cut short is never acted on.
std::string jsonStringField(const std::string& json, const std::string& key);
bool jsonStringArray(const std::string& json, const std::string& key, std::vector<std::string>& out);
// A number member as it is written ("24", "1.5e3"); a string member's text
// instead, so that either form of a number is taken.
std::string jsonScalarText(const std::string& json, const std::string& key);

}  // namespace http
