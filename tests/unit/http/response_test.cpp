#include "http/response.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <string>
#include <thread>

#include "support/pipe.h"

namespace {

using test::Pipe;

const std::regex kDateLine("\r\nDate: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), [0-9]{2} "
                           "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
                           "[0-9]{2}:[0-9]{2}:[0-9]{2} GMT\r\n");

// The answer with its date value replaced, so that it can be compared whole.
std::string withoutDate(const std::string& answer) {
  return std::regex_replace(answer, kDateLine, "\r\nDate: *\r\n", std::regex_constants::format_first_only);
}

TEST(SendResponse, ExactHeadLayoutWithExtraHeadersLast) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  http::sendResponse(p.c, 404, "Not Found", http::kTypeText, "Not Found",
                     {{"Set-Cookie", "AUTH=x; Path=/"}, {"Content-Disposition", "attachment"}});
  std::string answer = p.serverAnswer();
  EXPECT_TRUE(std::regex_search(answer, kDateLine)) << answer;
  EXPECT_EQ(withoutDate(answer),
            "HTTP/1.1 404 Not Found\r\n"
            "Date: *\r\n"
            "Server: HTTPVantrel\r\n"
            "Connection: close\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n"
            "Content-Length: 9\r\n"
            "Set-Cookie: AUTH=x; Path=/\r\n"
            "Content-Disposition: attachment\r\n"
            "\r\n"
            "Not Found");
}

TEST(SendResponse, EmptyBodyStillCarriesContentLengthZero) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  http::sendResponse(p.c, 200, "OK", http::kTypeHtml, "");
  std::string answer = p.serverAnswer();
  EXPECT_NE(answer.find("\r\nContent-Length: 0\r\n"), std::string::npos);
  EXPECT_EQ(answer.find("\r\n\r\n"), answer.size() - 4);  // the head and nothing after it
}

TEST(SendResponse, JsonAndHtmlReasons) {
  struct Case {
    void (*send)(http::Connection&, int, const std::string&);
    int status;
    const char* statusLine;
    const char* type;
  };
  const Case cases[] = {
      {http::sendJson, 200, "HTTP/1.1 200 OK\r\n", "application/json; charset=utf-8"},
      {http::sendJson, 429, "HTTP/1.1 429 Error\r\n", "application/json; charset=utf-8"},
      {http::sendHtml, 401, "HTTP/1.1 401 Error\r\n", "text/html; charset=utf-8"},
      {http::sendHtml, 200, "HTTP/1.1 200 Error\r\n", "text/html; charset=utf-8"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.statusLine);
    Pipe p;
    ASSERT_TRUE(p.ok());
    k.send(p.c, k.status, "{}");
    std::string answer = p.serverAnswer();
    EXPECT_EQ(answer.rfind(k.statusLine, 0), 0u) << answer;
    EXPECT_NE(answer.find(std::string("\r\nContent-Type: ") + k.type + "\r\nContent-Length: 2\r\n"), std::string::npos)
        << answer;
    EXPECT_EQ(answer.substr(answer.size() - 6), "\r\n\r\n{}");
  }
}

TEST(SendResponse, BinaryBodyOfSeveralMebibytesArrivesWhole) {
  Pipe p;
  ASSERT_TRUE(p.ok());
  std::vector<unsigned char> body(3 * 1048576 + 17);
  for (size_t i = 0; i < body.size(); ++i) body[i] = (unsigned char)(i * 31 + (i >> 12));
  std::string answer;
  std::thread reader([&] { answer = test::readUntilClosed(p.client); });
  http::sendBytes(p.c, "application/zip", body, {{"Content-Disposition", "attachment; filename=\"a.zip\""}});
  http::closeConnection(p.c);
  reader.join();
  size_t bodyAt = answer.find("\r\n\r\n") + 4;
  std::string head = withoutDate(answer.substr(0, bodyAt));
  EXPECT_EQ(head,
            "HTTP/1.1 200 OK\r\nDate: *\r\nServer: HTTPVantrel\r\nConnection: close\r\n"
            "Content-Type: application/zip\r\nContent-Length: 3145745\r\n"
            "Content-Disposition: attachment; filename=\"a.zip\"\r\n\r\n");
  ASSERT_EQ(answer.size() - bodyAt, body.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), (const unsigned char*)answer.data() + bodyAt));
}

TEST(HttpDate, ImfFixdate) {
  EXPECT_EQ(http::formatHttpDate(4, 1, 1, 2026, 0, 0, 0), "Thu, 01 Jan 2026 00:00:00 GMT");
  EXPECT_EQ(http::formatHttpDate(6, 31, 12, 1999, 23, 59, 59), "Sat, 31 Dec 1999 23:59:59 GMT");
  EXPECT_EQ(http::formatHttpDate(0, 9, 13, 987, 1, 2, 3), "Sun, 09 Jan 0987 01:02:03 GMT");
  EXPECT_EQ(http::formatHttpDate(1, 9, 0, 2030, 1, 2, 3), "Mon, 09 Jan 2030 01:02:03 GMT");
}

TEST(HttpDate, IsTheCurrentTimeInUtc) {
  auto format = [](std::time_t t) {
    std::tm u = *std::gmtime(&t);
    return http::formatHttpDate(u.tm_wday, u.tm_mday, u.tm_mon + 1, u.tm_year + 1900, u.tm_hour, u.tm_min,
                                u.tm_sec);
  };
  // std::time may read a coarse clock that lags the precise one behind the
  // Date header by a few milliseconds; read the same precise clock here.
  auto precise = [] { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); };
  std::time_t before = precise();
  std::string now = http::httpDate();
  std::time_t after = precise();
  EXPECT_TRUE(now == format(before) || now == format(after)) << now;
}

TEST(JsonEscape, ControlBytesQuotesAndBackslashes) {
  EXPECT_EQ(http::jsonEscape("a\tb\nc\rd\"e\\f"), "a\\tb\\nc\\rd\\\"e\\\\f");
  EXPECT_EQ(http::jsonEscape(std::string("x\x01y\x1fz\0!\b\f", 9)), "x\\u0001y\\u001fz\\u0000!\\u0008\\u000c");
  const std::string utf8 = "\x7f \xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80/";
  EXPECT_EQ(http::jsonEscape(utf8), utf8);
  EXPECT_EQ(http::jsonEscape(""), "");
}

TEST(JsonEscape, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(http::jsonEscape("bad\xff.txt"), "bad" + r + ".txt");
  EXPECT_EQ(http::jsonEscape("\xC3"), r);                             // cut short
  EXPECT_EQ(http::jsonEscape("\xE2\x82"), r + r);                     // each byte
  EXPECT_EQ(http::jsonEscape("\xC0\xAF"), r + r);                     // overlong
  EXPECT_EQ(http::jsonEscape("\xED\xA0\x80"), r + r + r);            // a surrogate
  EXPECT_EQ(http::jsonEscape("\xF4\x90\x80\x80"), r + r + r + r);  // past U+10FFFF
  EXPECT_EQ(http::jsonEscape("\x80\"x"), r + "\\\"x");
}

TEST(JsonEnvelopes, OkAndError) {
  EXPECT_EQ(http::jsonOk(), "{\"ok\":true}");
  EXPECT_EQ(http::jsonOk(""), "{\"ok\":true}");
  EXPECT_EQ(http::jsonOk("\"path\":\"a\",\"ttlSeconds\":86400"), "{\"ok\":true,\"path\":\"a\",\"ttlSeconds\":86400}");
  EXPECT_EQ(http::jsonError("Bad \"name\"\\x\n\x01!"), "{\"ok\":false,\"error\":\"Bad \\\"name\\\"\\\\x\\n\\u0001!\"}");
  EXPECT_EQ(http::jsonError(""), "{\"ok\":false,\"error\":\"\"}");
}

TEST(HtmlErrorPage, WholePageWithTitleAndMessageUnescaped) {
  EXPECT_EQ(http::htmlErrorPage("Vantrel PRO", "Too many <b>attempts</b>."),
            "<!doctype html><html><head><meta charset='utf-8'/>"
            "<meta name='viewport' content='width=device-width, initial-scale=1'/>"
            "<title>Vantrel PRO</title>"
            "<style>"
            "body{font-family:Segoe UI,system-ui,sans-serif;padding:22px;background:#fff;color:#111}"
            ".card{max-width:520px;border:1px solid #ddd;border-radius:12px;padding:16px}"
            ".err{color:#b00020;font-weight:600}"
            "a{color:#0066cc;text-decoration:none} a:hover{text-decoration:underline}"
            "</style></head><body>"
            "<div class='card'>"
            "<h2 style='margin:0 0 10px 0;'>Vantrel PRO</h2>"
            "<div class='err'>Too many <b>attempts</b>.</div>"
            "<div style='margin-top:12px;'><a href='/'>Back to login</a></div>"
            "</div></body></html>");
}

}  // namespace
