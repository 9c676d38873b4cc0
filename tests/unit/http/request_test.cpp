#include "http/request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/flavour.h"
#include "http/router.h"
#include "support/pipe.h"

namespace {

using http::HttpRequest;
using test::Pipe;

// ---- the head over a real socket --------------------------------------------

// The head read the way a connection thread would without patience: each read
// waits as long as the socket lets it.
bool readHead(http::Connection& c, std::string& head, std::string& bodyPrefix) {
  http::PendingHead p;
  if (http::gatherHead(c, p, -1) != http::HeadRead::Complete) return false;
  http::takeHead(p, head, bodyPrefix);
  return true;
}

TEST(ReadHead, HeadAndBodyInOneReadLeaveTheBodyInThePrefix) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  p.send("POST /api/x HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\n\r\nBODY");
  std::string head, prefix;
  ASSERT_TRUE(readHead(p.c, head, prefix));
  EXPECT_EQ(head, "POST /api/x HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(prefix, "BODY");
}

TEST(ReadHead, BlankLineStraddlingTwoReadsIsFound) {
  // Everything is queued before the first read, so the reads come in pieces of
  // 2048 bytes and the blank line is cut after its first, second or third byte.
  for (size_t inFirstRead = 1; inFirstRead <= 3; ++inFirstRead) {
    SCOPED_TRACE(inFirstRead);
    std::string start = "GET / HTTP/1.1\r\nX-Fill: ";
    std::string head = start + std::string(2048 - inFirstRead - start.size(), 'f') + "\r\n\r\n";
    ASSERT_EQ(head.find("\r\n\r\n"), 2048 - inFirstRead);
    Pipe p;
    ASSERT_TRUE(p.ok());
    p.send(head + "rest");
    std::string gotHead, prefix;
    ASSERT_TRUE(readHead(p.c, gotHead, prefix));
    EXPECT_EQ(gotHead, head);
    EXPECT_EQ(prefix, "rest");
  }
}

TEST(ReadHead, HeadArrivingInSmallPiecesAndOverManyReadsIsFound) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  std::string head = "GET /big HTTP/1.1\r\n";
  for (int i = 0; i < 200; ++i) head += "X-H" + std::to_string(i) + ": " + std::string(40, 'v') + "\r\n";
  head += "\r\n";
  std::thread writer([&] {
    // The last pieces arrive one by one, the blank line byte by byte.
    size_t cut = head.size() - 6;
    p.send(head.substr(0, cut));
    for (size_t i = cut; i < head.size(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      p.send(head.substr(i, 1));
    }
  });
  std::string got, prefix;
  bool ok = readHead(p.c, got, prefix);
  writer.join();
  ASSERT_TRUE(ok);
  EXPECT_EQ(got, head);
  EXPECT_EQ(prefix, "");
  HttpRequest r;
  ASSERT_TRUE(http::parseHead(got, r));
  EXPECT_EQ(r.headers.size(), 200u);
}

TEST(ReadHead, PeerClosingBeforeTheBlankLineFails) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  p.send("GET / HTTP/1.1\r\nHost: a\r\n");
  p.closeClient();
  std::string head, prefix;
  EXPECT_FALSE(readHead(p.c, head, prefix));
}

TEST(ReadHead, IdleClientEndsTheReadAtTheSocketTimeOut) {
  Pipe p(200);
  ASSERT_TRUE(p.ok());
  p.send("GET / HTTP/1.1\r\n");
  std::string head, prefix;
  EXPECT_FALSE(readHead(p.c, head, prefix));
}

TEST(ReadHead, HeadIsBoundedAtOneMebibyte) {
  {
    // Exactly 1 MiB including the blank line is still a head.
    Pipe p;
    ASSERT_TRUE(p.ok());
    std::string start = "GET / HTTP/1.1\r\nX-Fill: ";
    std::string head = start + std::string(1048576 - start.size() - 4, 'f') + "\r\n\r\n";
    std::thread writer([&] { p.send(head); });
    std::string got, prefix;
    bool ok = readHead(p.c, got, prefix);
    writer.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(got.size(), 1048576u);
  }
  {
    // Past 1 MiB without a blank line the reader gives up, though the
    // client is still sending.
    Pipe p;
    ASSERT_TRUE(p.ok());
    std::thread writer([&] { p.send("GET / HTTP/1.1\r\nX-Fill: " + std::string(1048576 + 4096, 'f')); });
    std::string got, prefix;
    bool ok = readHead(p.c, got, prefix);
    writer.join();
    EXPECT_FALSE(ok);
  }
}

// ---- describeClient ---------------------------------------------------------

TEST(DescribeClient, IPv4PeerKeepsTheMappedHostAndTheLabelDependsOnTheProgram) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  int clientPort = sys::localPort(p.client);
  HttpRequest r;
  core::setFlavour(core::kHttpsFlavour);
  http::describeClient(p.peer, r);
  EXPECT_EQ(r.clientHost, "::ffff:127.0.0.1");
  EXPECT_EQ(r.clientPort, std::to_string(clientPort));
  EXPECT_EQ(r.clientLabel, "127.0.0.1:" + std::to_string(clientPort));

  core::setFlavour(core::kHttpFlavour);
  http::describeClient(p.peer, r);
  EXPECT_EQ(r.clientLabel, "::ffff:127.0.0.1:" + std::to_string(clientPort));
  core::setFlavour(core::kHttpsFlavour);
}

TEST(DescribeClient, OnlyALeadingMappedPrefixIsStripped) {
  EXPECT_EQ(http::makeClientLabel("::ffff:192.168.1.20", "50000", true), "192.168.1.20:50000");
  EXPECT_EQ(http::makeClientLabel("::ffff:192.168.1.20", "50000", false), "::ffff:192.168.1.20:50000");
  EXPECT_EQ(http::makeClientLabel("fe80::ffff:1", "7", true), "fe80::ffff:1:7");
  EXPECT_EQ(http::makeClientLabel("::1", "7", true), "::1:7");
  EXPECT_EQ(http::makeClientLabel("::FFFF:10.0.0.1", "7", true), "::FFFF:10.0.0.1:7");
}

// ---- parseHead and the target split -----------------------------------------

TEST(ParseHead, RequestLineTokens) {
  HttpRequest r;
  ASSERT_TRUE(http::parseHead("get  \t/a%20b?x=1   HTTP/1.0 extra tokens\r\n\r\n", r));
  EXPECT_EQ(r.method, "get");  // case kept
  EXPECT_EQ(r.target, "/a%20b?x=1");
  EXPECT_EQ(r.version, "HTTP/1.0");

  EXPECT_FALSE(http::parseHead("GET /\r\nHost: a\r\n\r\n", r));
  EXPECT_FALSE(http::parseHead("\r\n\r\n", r));
  EXPECT_FALSE(http::parseHead("", r));
  EXPECT_TRUE(http::parseHead("A B C", r));  // no line end at all
}

TEST(ParseHead, HeaderLines) {
  HttpRequest r;
  r.headers.push_back({"stale", "entry"});
  std::string head =
      "GET / HTTP/1.1\r\n"
      "Content-Type:\t  text/plain  \r\n"
      "no colon here\r\n"
      "Content-Length : 12\r\n"
      "X-Multi: a:b:c\r\n"
      "Cookie: one\n"  // a bare LF ends a line too
      "COOKIE: two\r\r\n"
      "\r\n"
      "After: blank\r\n";
  ASSERT_TRUE(http::parseHead(head, r));
  http::HeaderList expected = {
      {"content-type", "text/plain  "},
      {"content-length ", "12"},
      {"x-multi", "a:b:c"},
      {"cookie", "one"},
      {"cookie", "two\r"},  // only one CR is removed
  };
  EXPECT_EQ(r.headers, expected);
  // The name is not trimmed, so "Content-Length : 12" is not the length.
  EXPECT_EQ(http::findHeader(r.headers, "content-length"), "");
  EXPECT_EQ(http::declaredLength(r.headers), 0u);
  EXPECT_EQ(http::findHeader(r.headers, "cookie"), "one");
  EXPECT_EQ(http::findHeader(r.headers, "Cookie"), "");  // callers pass lower case
}

TEST(ParseHead, NonAsciiHeaderNamesAreNotLowerCased) {
  HttpRequest r;
  ASSERT_TRUE(http::parseHead("GET / HTTP/1.1\r\nX-\xC3\x84Z: v\r\n\r\n", r));
  ASSERT_EQ(r.headers.size(), 1u);
  EXPECT_EQ(r.headers[0].first, "x-\xC3\x84z");
}

TEST(SplitTarget, PathAndQueryAtTheFirstQuestionMark) {
  HttpRequest r;
  ASSERT_TRUE(http::parseHead("GET /a?x=1&name=a%2Bb+c HTTP/1.1\r\n\r\n", r));
  http::splitTarget(r);
  EXPECT_EQ(r.path, "/a");
  EXPECT_EQ(r.query, "x=1&name=a%2Bb+c");
  EXPECT_EQ(http::queryParam(r.query, "name"), "a%2Bb+c");
  EXPECT_EQ(http::urlDecode(http::queryParam(r.query, "name")), "a+b c");

  r.target = "/p%3Fq?a=1?b=2";
  http::splitTarget(r);
  EXPECT_EQ(r.path, "/p%3Fq");
  EXPECT_EQ(r.query, "a=1?b=2");

  r.target = "/plain";
  r.query = "stale";
  http::splitTarget(r);
  EXPECT_EQ(r.path, "/plain");
  EXPECT_EQ(r.query, "");
}

// ---- query parameters and decoding -------------------------------------------

TEST(QueryParam, PiecesKeysAndValues) {
  EXPECT_EQ(http::queryParam("a=1&&b=2&", "b"), "2");
  EXPECT_EQ(http::queryParam("ab=1&a=2", "a"), "2");  // whole key, not a prefix
  EXPECT_EQ(http::queryParam("a&a=3", "a"), "3");     // a key without "=" never matches
  EXPECT_EQ(http::queryParam("a", "a"), "");
  EXPECT_EQ(http::queryParam("a=x=y&a=z", "a"), "x=y");  // first match, "=" kept
  EXPECT_EQ(http::queryParam("a=", "a"), "");
  EXPECT_EQ(http::queryParam("A=1", "a"), "");
  EXPECT_EQ(http::queryParam("", "a"), "");
}

TEST(UrlDecode, FormStyleWithMalformedEscapesCopied) {
  EXPECT_EQ(http::urlDecode("%41"), "A");
  EXPECT_EQ(http::urlDecode("%e2%82%AC"), "\xE2\x82\xAC");
  EXPECT_EQ(http::urlDecode("a+b"), "a b");
  EXPECT_EQ(http::urlDecode("%2B"), "+");
  EXPECT_EQ(http::urlDecode("%zz"), "%zz");
  EXPECT_EQ(http::urlDecode("%4z"), "%4z");
  EXPECT_EQ(http::urlDecode("abc%4"), "abc%4");
  EXPECT_EQ(http::urlDecode("abc%"), "abc%");
  EXPECT_EQ(http::urlDecode("%%41"), "%A");  // decoding goes on after a bare "%"
  EXPECT_EQ(http::urlDecode("%00x"), std::string("\0x", 2));
  EXPECT_EQ(http::urlDecode(""), "");
}

TEST(Headers, ChunkedAndDeclaredLength) {
  http::HeaderList h = {{"transfer-encoding", "gzip, ChUnKeD"}};
  EXPECT_TRUE(http::isChunked(h));
  EXPECT_FALSE(http::isChunked({{"transfer-encoding", "identity"}}));
  EXPECT_FALSE(http::isChunked({}));

  auto length = [](const std::string& v) { return http::declaredLength({{"content-length", v}}); };
  EXPECT_EQ(length("12"), 12u);
  EXPECT_EQ(length(" \t12abc"), 12u);
  EXPECT_EQ(length("abc"), 0u);
  EXPECT_EQ(length(""), 0u);
  EXPECT_EQ(length("99999999999"), 99999999999ull);
  EXPECT_EQ(http::declaredLength({}), 0u);
}

// ---- bodies -------------------------------------------------------------------

HttpRequest postWith(const std::string& contentLength, const std::string& prefix) {
  HttpRequest r;
  r.method = "POST";
  if (!contentLength.empty()) r.headers.push_back({"content-length", contentLength});
  r.bodyPrefix = prefix;
  return r;
}

TEST(ReadBody, PrefixCompletesTheBodyAndNothingMoreIsRead) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  p.send("NEXT");
  std::string body;
  // Bytes beyond the length that came with the head are no part of the body.
  ASSERT_EQ(http::readBody(p.c, postWith("4", "BODYextra"), body), http::BodyRead::Complete);
  EXPECT_EQ(body, "BODY");
  ASSERT_EQ(http::readBody(p.c, postWith("", "xy"), body), http::BodyRead::Complete);
  EXPECT_EQ(body, "");
  char buf[16];
  EXPECT_EQ(http::readSome(p.c, buf, sizeof buf), 4);  // still unread
}

TEST(ReadBody, RestArrivesAfterThePrefix) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  std::thread writer([&] {
    p.send("ghij");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p.send("klmn");
  });
  std::string body;
  http::BodyRead read = http::readBody(p.c, postWith("14", "abcdef"), body);
  writer.join();
  ASSERT_EQ(read, http::BodyRead::Complete);
  EXPECT_EQ(body, "abcdefghijklmn");
}

TEST(ReadBody, ABodyThatStopsBeforeItsLengthIsCutShortAndAnswered400) {
  for (bool closes : {true, false}) {
    SCOPED_TRACE(closes ? "peer closes" : "peer stalls past the read time-out");
    Pipe p(200);
    ASSERT_TRUE(p.ok());
    p.send("\"b.t");
    if (closes) sys::shutdownSend(p.client);  // the answer can still be read
    std::string body = "stale";
    EXPECT_FALSE(http::readJsonBodyOrReply(p.c, postWith("200", "{\"name\":"), body));
    p.c.requestComplete = true;  // nothing is left to drain before the close
    EXPECT_EQ(body, "");
    std::string answer = p.serverAnswer();
    EXPECT_EQ(answer.rfind("HTTP/1.1 400 Error\r\n", 0), 0u) << answer;
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "{\"ok\":false,\"error\":\"Incomplete request body\"}");
  }
}

TEST(ReadBody, OneMebibyteIsRead) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  std::string data(1048576, 'z');
  std::thread writer([&] { p.send(data.substr(10)); });
  std::string body;
  http::BodyRead read = http::readBody(p.c, postWith("1048576", data.substr(0, 10)), body);
  writer.join();
  ASSERT_EQ(read, http::BodyRead::Complete);
  EXPECT_EQ(body.size(), data.size());
  EXPECT_EQ(body, data);
}

TEST(ReadBody, LargerDeclaredLengthIsAnswered413WithoutReading) {
  for (const char* length : {"1048577", "99999999999", "-1", "184467440737095516150"}) {
    SCOPED_TRACE(length);
    Pipe p;
    ASSERT_TRUE(p.ok());
    std::string body = "stale";
    // Nothing of the body is sent: a reader that tried to take it would wait.
    EXPECT_FALSE(http::readJsonBodyOrReply(p.c, postWith(length, "ab"), body));
    EXPECT_EQ(body, "");
    std::string answer = p.serverAnswer();
    EXPECT_EQ(answer.rfind("HTTP/1.1 413 Error\r\n", 0), 0u) << answer;
    EXPECT_NE(answer.find("\r\nContent-Type: application/json; charset=utf-8\r\n"), std::string::npos);
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "{\"ok\":false,\"error\":\"Request body too large\"}");
  }
}

TEST(ReadExact, ZeroBytesReadsNothing) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  p.send("abc");
  EXPECT_EQ(http::readExact(p.c, 0), "");
  EXPECT_EQ(http::readExact(p.c, 3), "abc");
}

// ---- flat JSON extractors -------------------------------------------------------

TEST(JsonStringField, EveryEscapeIsDecoded) {
  EXPECT_EQ(http::jsonStringField("{\"name\":\"do\\u0063s\"}", "name"), "docs");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"a\\tb\\nc\\rd\\be\\ff\"}", "name"), "a\tb\nc\rd\be\ff");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"q\\\"b\\\\s\\/x\"}", "name"), "q\"b\\s/x");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"\xC3\xA4\\u00e4\\u20AC\\u0001\"}", "name"),
            "\xC3\xA4\xC3\xA4\xE2\x82\xAC\x01");
  // A surrogate pair is one character; a lone half of one is U+FFFD, and
  // so is an escape without its four digits.
  EXPECT_EQ(http::jsonStringField("{\"name\":\"\\ud83d\\ude00!\"}", "name"), "\xF0\x9F\x98\x80!");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"a\\ud83db\"}", "name"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"\\ud83d\\u0041\"}", "name"), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"\\u12\"}", "name"), "\xEF\xBF\xBD" "12");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"\\u0000\"}", "name"), std::string(1, '\0'));
  EXPECT_EQ(http::jsonStringField("{\"n\\u0061me\":\"escaped key\"}", "name"), "escaped key");
}

TEST(JsonStringField, OnlyTheObjectsOwnMembersCount) {
  EXPECT_EQ(http::jsonStringField("{ \"path\":\"a/b\", \"name\" \r\n:\t \"v\" }", "name"), "v");
  // The key inside a string value, a nested object or an array is not a member.
  EXPECT_EQ(http::jsonStringField("{\"tag\":\"path\",\"x\":\"keep\",\"path\":\"\",\"n\":1}", "path"), "");
  EXPECT_EQ(http::jsonStringField("{\"x\":\"\\\"name\",\"y\":\"other\",\"name\":\"real\"}", "name"), "real");
  EXPECT_EQ(http::jsonStringField("{\"o\":{\"name\":\"in\",\"a\":[\"}\",{}]},\"n\":-1.5e3,\"t\":true,"
                                  "\"z\":null,\"name\":\"top\"}",
                                  "name"),
            "top");
  EXPECT_EQ(http::jsonStringField("[{\"name\":\"in\"}]", "name"), "");
  EXPECT_EQ(http::jsonStringField("{\"name\":\"first\",\"name\":\"second\"}", "name"), "first");
  EXPECT_EQ(http::jsonStringField("{\"name\":5}", "name"), "");
}

TEST(JsonReaders, OnlyOneCompleteObjectHasMembers) {
  // Cut short inside a string, an array, a nested value or the object itself,
  // malformed, or with more behind it: nothing is found, the first member
  // included.
  for (const char* text :
       {"{\"name\":\"b.t", "{\"name\":\"x\\", "{\"name\":\"x\\\"}", "{\"name\":\"a\"", "{\"name\":\"a\",",
        "{\"name\":\"a\",\"names\":[\"a.txt\",\"b.t", "{\"name\":\"a\",\"names\":[\"a\"", "{\"name\":\"a\",\"names\":[",
        "{\"name\":\"a\",\"o\":{\"k\":[1,{}]", "{\"name\":\"a\",\"n\":tru", "{\"name\":\"a\",\"n\":1.}",
        "{\"name\":\"a\",\"x\":[[[[[[[[[[", "{\"name\":\"a\",\"x\":[}", "{\"name\":\"a\",\"names\":[\"a\",]}",
        "{\"name\":\"a\",}", "{\"name\" \"a\"}", "{\"name\":\"a\"}x", "{\"name\":\"a\"}{}", "{\"name\"", ""}) {
    SCOPED_TRACE(text);
    std::vector<std::string> out = {"stale"};
    EXPECT_EQ(http::jsonStringField(text, "name"), "");
    EXPECT_FALSE(http::jsonStringArray(text, "names", out));
    EXPECT_TRUE(out.empty());
  }
  EXPECT_EQ(http::jsonStringField(" \r\n{\"name\":\"a\",\"o\":{\"k\":[1,{},[]]},\"e\":-0.5E+2}\t", "name"), "a");
}

TEST(JsonStringArray, ListsAndFailures) {
  std::vector<std::string> out = {"stale"};
  EXPECT_TRUE(http::jsonStringArray("{\"paths\": [ \"a\" , \"b\\\"c\",\"d\\n\" ] }", "paths", out));
  EXPECT_EQ(out, (std::vector<std::string>{"a", "b\"c", "d\n"}));

  EXPECT_TRUE(http::jsonStringArray("{\"paths\":[]}", "paths", out));
  EXPECT_TRUE(out.empty());

  EXPECT_FALSE(http::jsonStringArray("{\"paths\":[\"a\",5]}", "paths", out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(http::jsonStringArray("{\"paths\":\"a\"}", "paths", out));
  EXPECT_FALSE(http::jsonStringArray("{\"paths\" []}", "paths", out));
  EXPECT_FALSE(http::jsonStringArray("{\"other\":[\"a\"]}", "paths", out));
  EXPECT_FALSE(http::jsonStringArray("{\"x\":{\"paths\":[\"a\"]}}", "paths", out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(http::jsonStringArray("{\"x\":\"\\\"paths\",\"paths\":[\"\\u00e4\"]}", "paths", out));
  EXPECT_EQ(out, std::vector<std::string>{"\xC3\xA4"});
}

}  // namespace
