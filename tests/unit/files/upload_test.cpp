#include "files/upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/event_log.h"
#include "support/temp_dir.h"
#include "sys/folders.h"

namespace {

namespace fs = std::filesystem;

const std::string kB = "AaB03x";

std::string filePart(const std::string& name, const std::string& data) {
  return "--" + kB + "\r\nContent-Disposition: form-data; name=\"files\"; filename=\"" + name + "\"\r\n\r\n" + data +
         "\r\n";
}
std::string closing() { return "--" + kB + "--\r\n"; }

// A client that sends the body in pieces of the given size, then closes.
struct FakeClient {
  std::string bytes;
  size_t at = 0;
  size_t piece = 1000;
  int reads = 0;
  int largestAsk = 0;
  int read(char* buffer, int capacity) {
    ++reads;
    largestAsk = std::max(largestAsk, capacity);
    size_t n = std::min({bytes.size() - at, piece, (size_t)capacity});
    std::memcpy(buffer, bytes.data() + at, n);
    at += n;
    return (int)n;
  }
};

struct UploadRun {
  bool ok = false;
  std::string error;
  FakeClient client;
};

// prefixBytes of the body come with the head; the rest is read.
UploadRun run(const std::string& folder, const std::string& body, size_t prefixBytes, uint64_t declared) {
  UploadRun u;
  u.client.bytes = body.substr(prefixBytes);
  files::ReadFn read = [&u](char* b, int n) { return u.client.read(b, n); };
  u.ok = files::receiveMultipart(read, body.substr(0, prefixBytes), folder, kB, declared, u.error);
  return u;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(fs::u8path(folder))) {
    std::u8string name = e.path().filename().u8string();
    out.push_back(std::string(name.begin(), name.end()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

class Upload : public ::testing::Test {
 protected:
  void SetUp() override { core::clearLog(); }
  test::TempDir dir;
};

TEST_F(Upload, StoresEveryFileBitExactAndLogsFinalPaths) {
  std::string big(2 * files::kUploadFill + 3 * 65536 + 123, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = (char)(i * 2654435761u >> 13);
  std::string body = filePart("big.bin", big) + filePart("empty.txt", "") +
                     filePart("B\xc3\xa4r.txt", "x") +
                     filePart("say\"hi\".txt", "y") + closing();
  UploadRun u = run(dir.path, body, 200, body.size());
  ASSERT_TRUE(u.ok) << u.error;
  EXPECT_TRUE(test::readFile(sys::joinPath(dir.path, "big.bin")) == big);
  EXPECT_EQ(test::readFile(sys::joinPath(dir.path, "empty.txt")), "");
  // extractFilename stops at the first quote: the name is cut there.
  EXPECT_EQ(namesIn(dir.path), (std::vector<std::string>{"B\xc3\xa4r.txt", "big.bin", "empty.txt", "say"}));
  EXPECT_LE(u.client.largestAsk, files::kUploadFill);
  std::string log = core::snapshotLog();
  EXPECT_NE(log.find("UPLOAD  " + sys::joinPath(dir.path, "big.bin") + "\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("UPLOAD  " + sys::joinPath(dir.path, "empty.txt") + "\r\n"), std::string::npos);
}

TEST_F(Upload, WholeBodyInThePrefixNeedsNoRead) {
  std::string body = filePart("a.txt", "A") + closing();
  UploadRun u = run(dir.path, body, body.size(), body.size());
  ASSERT_TRUE(u.ok);
  EXPECT_EQ(u.client.reads, 0);
  EXPECT_EQ(test::readFile(sys::joinPath(dir.path, "a.txt")), "A");
}

TEST_F(Upload, CreatesTheMissingFolderWithItsParents) {
  std::string folder = sys::joinPath(sys::joinPath(dir.path, "new"), "deeper");
  std::string body = filePart("a.txt", "A") + closing();
  ASSERT_TRUE(run(folder, body, 0, body.size()).ok);
  EXPECT_EQ(test::readFile(sys::joinPath(folder, "a.txt")), "A");
}

TEST_F(Upload, ReplacesAnExistingFileOfThatName) {
  test::writeFile(sys::joinPath(dir.path, "a.txt"), "an older and longer content");
  std::string body = filePart("a.txt", "new") + closing();
  ASSERT_TRUE(run(dir.path, body, 0, body.size()).ok);
  EXPECT_EQ(test::readFile(sys::joinPath(dir.path, "a.txt")), "new");
  EXPECT_EQ(namesIn(dir.path), std::vector<std::string>{"a.txt"});
}

TEST_F(Upload, ClientGoneMidwayKeepsTheOldFileAndLeavesNoTemporaryFile) {
  test::writeFile(sys::joinPath(dir.path, "b.bin"), "old b");
  std::string body = filePart("a.txt", "complete") + filePart("b.bin", std::string(200000, 'n')) + closing();
  // The client announces the whole body but stops inside b.bin's data.
  UploadRun u = run(dir.path, body.substr(0, body.size() - 5000), 0, body.size());
  EXPECT_FALSE(u.ok);
  EXPECT_EQ(u.error, "Upload aborted");
  EXPECT_EQ(test::readFile(sys::joinPath(dir.path, "a.txt")), "complete");
  EXPECT_EQ(test::readFile(sys::joinPath(dir.path, "b.bin")), "old b");
  EXPECT_EQ(namesIn(dir.path), (std::vector<std::string>{"a.txt", "b.bin"}));
}

TEST_F(Upload, DeclaredBodyEndingBeforeTheClosingDelimiterIsAborted) {
  std::string body = filePart("a.txt", "data") + closing();
  // The client sends more, but the declared length stops in the data: the
  // parse must end instead of waiting for bytes that never count.
  UploadRun u = run(dir.path, body, 0, body.size() - closing().size() - 4);
  EXPECT_FALSE(u.ok);
  EXPECT_EQ(u.error, "Upload aborted");
  EXPECT_TRUE(namesIn(dir.path).empty());
}

TEST_F(Upload, UnwritableTargetsFailWithoutLeftovers) {
  // A folder where the file should go: the finished part cannot take its name.
  fs::create_directory(fs::u8path(sys::joinPath(dir.path, "taken")));
  std::string body = filePart("taken", "data") + closing();
  UploadRun u = run(dir.path, body, 0, body.size());
  EXPECT_FALSE(u.ok);
  EXPECT_EQ(u.error, "Failed to write file");
  EXPECT_EQ(namesIn(dir.path), std::vector<std::string>{"taken"});

  // A target "folder" that is a file: no temporary file can be made in it.
  std::string notFolder = sys::joinPath(dir.path, "plain");
  test::writeFile(notFolder, "x");
  u = run(notFolder, body, 0, body.size());
  EXPECT_FALSE(u.ok);
  EXPECT_EQ(u.error, "Failed to write file");
}

}  // namespace
