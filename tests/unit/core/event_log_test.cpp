#include "core/event_log.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "sys/file_io.h"
#include "sys/folders.h"

namespace {

std::vector<std::string> entries() {
  std::vector<std::string> out;
  std::string all = core::snapshotLog();
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find("\r\n", pos);
    out.push_back(all.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

std::string message(const std::string& entry) { return entry.substr(25); }

class EventLog : public ::testing::Test {
 protected:
  void SetUp() override {
    core::setLogFilePath("");
    core::clearLog();
  }
  void TearDown() override { core::setLogFilePath(""); }
};

TEST_F(EventLog, KeepsTheLast500Entries) {
  for (int i = 0; i <= 500; ++i) core::logEvent("TEST    entry " + std::to_string(i));
  std::vector<std::string> e = entries();
  ASSERT_EQ(e.size(), 500u);
  EXPECT_EQ(message(e.front()), "TEST    entry 1");
  EXPECT_EQ(message(e.back()), "TEST    entry 500");
}

TEST_F(EventLog, StampIsLocalTimeWithMillisecondsThenTwoBlanks) {
  EXPECT_EQ(core::formatLogStamp(2026, 3, 1, 14, 5, 9, 42), "2026-03-01 14:05:09.042");
  core::logEvent("SERVER  stopping");
  std::string e = entries().at(0);
  ASSERT_EQ(e.size(), 23u + 2 + 16);
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20, 21, 22}) EXPECT_TRUE(isdigit(e[i])) << e;
  EXPECT_EQ(e.substr(4, 1) + e.substr(7, 1) + e.substr(10, 1) + e.substr(13, 1) + e.substr(16, 1) + e.substr(19, 1),
            "-- ::.");
  EXPECT_EQ(e.substr(23), "  SERVER  stopping");
}

TEST_F(EventLog, ClearThenOneEntryLeavesExactlyThatEntry) {
  core::logEvent("TEST    a");
  core::logEvent("TEST    b");
  core::clearLog();
  core::logEvent("LOG     cleared");
  std::vector<std::string> e = entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(message(e[0]), "LOG     cleared");
}

TEST_F(EventLog, LogFileGetsEveryLineWithCrLfAndClearDeletesIt) {
  test::TempDir dir;
  std::string path = sys::joinPath(dir.path, "HTTP.log");
  core::setLogFilePath(path);
  core::logEvent("TEST    one");
  core::logEvent("TEST    caf\xc3\xa9 \xe2\x82\xac");  // non-ASCII is written as UTF-8
  std::string content;
  ASSERT_TRUE(sys::readSmallFile(path, content, 1 << 20));
  std::vector<std::string> e = entries();
  EXPECT_EQ(content, e[0] + "\r\n" + e[1] + "\r\n");
  core::clearLog();
  EXPECT_FALSE(sys::pathExists(path));
  core::logEvent("LOG     cleared");
  ASSERT_TRUE(sys::readSmallFile(path, content, 1 << 20));
  EXPECT_EQ(content, entries().at(0) + "\r\n");
}

TEST_F(EventLog, UnwritableFileStillKeepsTheEntry) {
  core::setLogFilePath(sys::joinPath("no-such-folder-here", "x.log"));
  core::logEvent("TEST    kept");
  EXPECT_EQ(core::logEntryCount(), 1u);
}

std::vector<std::string>* hookSeen;
void recordHook(const std::string& line) { hookSeen->push_back(line); }

TEST_F(EventLog, HookSeesEachCompleteLine) {
  std::vector<std::string> seen;
  hookSeen = &seen;
  core::setLogAppendedHook(recordHook);
  core::logEvent("TEST    hooked");
  core::setLogAppendedHook(nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], entries().at(0));
}

TEST_F(EventLog, ConcurrentLoggingLosesNothingAndKeepsLinesWhole) {
  test::TempDir dir;
  std::string path = sys::joinPath(dir.path, "HTTP.log");
  core::setLogFilePath(path);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) core::logEvent("TEST    thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(entries().size(), 400u);
  std::string content;
  ASSERT_TRUE(sys::readSmallFile(path, content, 1 << 20));
  size_t lines = 0, pos = 0;
  while ((pos = content.find("\r\n", pos)) != std::string::npos) {
    ++lines;
    pos += 2;
  }
  EXPECT_EQ(lines, 400u);
}

#ifndef _WIN32
unsigned modeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (unsigned)(st.st_mode & 0777) : 0;
}
#endif

TEST_F(EventLog, FullFileIsMovedAsideReplacingTheOlderOneAndOnlyItsOwnerReadsThem) {
  test::TempDir dir;
  std::string path = sys::joinPath(dir.path, "HTTP.log"), old = path + ".1";
  // A file left by an older version, readable by all.
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  core::setLogFilePath(path, 100);
  for (const char* m : {"TEST    one", "TEST    two", "TEST    three", "TEST    four", "TEST    five"})
    core::logEvent(m);  // 38 to 40 bytes a line: two fit in 100
  std::vector<std::string> e = entries();
  std::string current, previous;
  EXPECT_TRUE(sys::readSmallFile(path, current, 1 << 20) && current == e[4] + "\r\n");
  EXPECT_TRUE(sys::readSmallFile(old, previous, 1 << 20) && previous == e[2] + "\r\n" + e[3] + "\r\n");
#ifndef _WIN32
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(modeOf(old), 0600u);
#endif
  core::clearLog();
  EXPECT_FALSE(sys::pathExists(path));
  EXPECT_FALSE(sys::pathExists(old));
}

}  // namespace
