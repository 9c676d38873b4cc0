// Share links end to end through the in-process server, with the clock
// moved by the test hook instead of waiting a day.
#include <gtest/gtest.h>

#include <string>

#include "auth/share_table.h"
#include "files/web_root.h"
#include "app/routes.h"
#include "http/server.h"
#include "support/net_helpers.h"
#include "support/temp_dir.h"
#include "sys/clock.h"
#include "sys/file_times.h"
#include "sys/folders.h"

namespace {

bool running() { return http::serverRunning(); }

class ShareLinks : public ::testing::Test {
 protected:
  const uint64_t t0 = 1800000000;
  test::TempDir root;
  int port = 0;

  void SetUp() override {
    auth::initShareSecret();
    files::setWebRoot(root.path);
    sys::createDirectories(sys::joinPath(root.path, "docs"));
    test::writeFile(sys::joinPath(sys::joinPath(root.path, "docs"), "a.txt"), "hello");
    sys::setNowForTests(t0);
    port = test::freePort();
    http::setServerPortOverride(port);
    http::startServer(app::routes());
    ASSERT_TRUE(test::waitUntil(running, 5000));
  }
  void TearDown() override {
    http::stopServer();
    http::waitForConnections(5000);  // late log lines must not reach the next test
    http::setServerPortOverride(0);
    sys::setNowForTests(0);
    files::setWebRoot({});
    auth::clearShares();
  }
  std::string get(const std::string& path) {
    return test::exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  }
};

std::string statusLine(const std::string& response) { return response.substr(0, response.find("\r\n")); }
std::string body(const std::string& response) { return response.substr(response.find("\r\n\r\n") + 4); }

TEST_F(ShareLinks, FileLinkDownloadsUntilTheDayIsOver) {
  std::string link = "/s/" + auth::createShare("docs/a.txt", false);
  sys::setNowForTests(t0 + 86399);
  std::string r = get(link);
  EXPECT_EQ(statusLine(r), "HTTP/1.1 200 OK");
  EXPECT_EQ(body(r), "hello");
  sys::setNowForTests(t0 + 86400);
  r = get(link);
  EXPECT_EQ(statusLine(r), "HTTP/1.1 410 Gone");
  EXPECT_EQ(body(r), "Link expired or invalid");
}

TEST_F(ShareLinks, FolderLinkEndsForEveryOperationAtOnce) {
  std::string link = "/d/" + auth::createShare("docs", true);
  ASSERT_TRUE(sys::setFileModifiedMs(sys::joinPath(sys::joinPath(root.path, "docs"), "a.txt"), t0 * 1000));
  sys::setNowForTests(t0 + 86399);
  EXPECT_EQ(body(get(link + "/api/list")),
            "{\"ok\":true,\"items\":[{\"name\":\"a.txt\",\"size\":5,\"modified\":1800000000}]}");
  sys::setNowForTests(t0 + 86400);
  for (const char* op : {"", "/", "/api/list", "/download?name=a.txt", "/other"})
    EXPECT_EQ(statusLine(get(link + op)), "HTTP/1.1 410 Gone") << op;
}

}  // namespace
