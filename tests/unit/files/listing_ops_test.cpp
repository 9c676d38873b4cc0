#include <gtest/gtest.h>

#include <string>

#include "files/download.h"
#include "files/file_ops.h"
#include "files/listing.h"
#include "support/temp_dir.h"
#include "sys/file_times.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace {

std::string in(const test::TempDir& d, const std::string& name) { return sys::joinPath(d.path, name); }

TEST(Listing, ItemsCarryNameTypeFileSizeAndModifiedWithEscapedNames) {
  test::TempDir d;
  test::writeFile(in(d, "a.txt"), "12345");
  ASSERT_TRUE(sys::setFileModifiedMs(in(d, "a.txt"), 1700000000999ull));
  test::writeFile(in(d, "empty"), "");
  test::writeFile(in(d, "M\xC3\xA4rz it's.pdf"), "x");
  sys::createDirectories(in(d, "sub"));
  files::Listing listing = files::folderListing(d.path, files::ListingKind::Folder);
  ASSERT_TRUE(listing);
  const std::string& json = listing->body;
  EXPECT_EQ(json.rfind("{\"ok\":true,\"items\":[", 0), 0u) << json;
  EXPECT_NE(json.find("{\"name\":\"a.txt\",\"type\":\"file\",\"size\":5,\"modified\":1700000000}"), std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"name\":\"empty\",\"type\":\"file\",\"size\":0,\"modified\":"), std::string::npos) << json;
  EXPECT_NE(json.find("{\"name\":\"M\xC3\xA4rz it's.pdf\",\"type\":\"file\",\"size\":1,\"modified\":"),
            std::string::npos);
  EXPECT_NE(json.find("{\"name\":\"sub\",\"type\":\"dir\",\"modified\":"), std::string::npos) << json;
  EXPECT_EQ(json.find("\".\""), std::string::npos);
  EXPECT_EQ(json.find("\"..\""), std::string::npos);
}

TEST(Listing, SharedFolderShowsFilesOnly) {
  test::TempDir d;
  test::writeFile(in(d, "one"), "abc");
  ASSERT_TRUE(sys::setFileModifiedMs(in(d, "one"), 1600000000000ull));
  sys::createDirectories(in(d, "inner"));
  EXPECT_EQ(files::folderListing(d.path, files::ListingKind::Shared)->body,
            "{\"ok\":true,\"items\":[{\"name\":\"one\",\"size\":3,\"modified\":1600000000}]}");
}

TEST(DownloadNames, BaseNameIsTheLastComponent) {
  EXPECT_EQ(files::baseName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(files::baseName("/a/b/c"), "c");
  EXPECT_EQ(files::baseName("plain"), "plain");
  EXPECT_EQ(files::baseName("/a/b/"), "");
}

TEST(DownloadNames, HeaderNameLosesQuotesAndControlBytesOnly) {
  EXPECT_EQ(files::dispositionName("Bericht M\xC3\xA4rz.pdf"), "Bericht M\xC3\xA4rz.pdf");
  EXPECT_EQ(files::dispositionName("a\"b\r\nSet-Cookie: x\t\x7f.txt"), "a_b__Set-Cookie: x__.txt");
  EXPECT_EQ(files::dispositionName("it's (1).txt"), "it's (1).txt");
}

TEST(FileOperations, MakeFolderMakesParentsLeavesFilesAloneAndSaysWhyNot) {
  test::TempDir d;
  std::string deep = sys::joinPath(in(d, "a"), "b");
  EXPECT_EQ(files::makeFolder(deep), nullptr);
  EXPECT_EQ(sys::pathKind(deep), sys::PathKind::Folder);
  EXPECT_EQ(files::makeFolder(deep), nullptr);  // already there
  test::writeFile(in(d, "f"), "keep");
  EXPECT_STREQ(files::makeFolder(in(d, "f")), "A file with that name already exists");
  EXPECT_STREQ(files::makeFolder(sys::joinPath(in(d, "f"), "below")), "Failed to create folder");
  EXPECT_EQ(test::readFile(in(d, "f")), "keep");
}

TEST(FileOperations, DeletePathTakesFilesAndEmptyFoldersOnly) {
  test::TempDir d;
  test::writeFile(in(d, "f"), "x");
  sys::createDirectories(in(d, "empty"));
  sys::createDirectories(in(d, "full"));
  test::writeFile(sys::joinPath(in(d, "full"), "x"), "x");
  EXPECT_TRUE(files::deletePath(in(d, "f")));
  EXPECT_TRUE(files::deletePath(in(d, "empty")));
  EXPECT_FALSE(files::deletePath(in(d, "full")));
  EXPECT_FALSE(files::deletePath(in(d, "missing")));
  EXPECT_EQ(sys::pathKind(in(d, "f")), sys::PathKind::Missing);
  EXPECT_EQ(sys::pathKind(in(d, "empty")), sys::PathKind::Missing);
  EXPECT_EQ(sys::pathKind(in(d, "full")), sys::PathKind::Folder);
}

TEST(FileLayer, ReadsInPiecesToTheEndWhileOthersMayDelete) {
  test::TempDir d;
  std::string data(300000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = (char)(i * 7);
  test::writeFile(in(d, "f"), data);
  sys::FileHandle f = sys::openForReading(in(d, "f"));
  ASSERT_NE(f, sys::kNoFile);
  uint64_t size = 0;
  ASSERT_TRUE(sys::fileSize(f, size));
  EXPECT_EQ(size, data.size());
  // Deleting must not wait for the reader to finish.
  EXPECT_TRUE(files::deletePath(in(d, "f")));
  std::string back;
  char buf[65536];
  long long n;
  while ((n = sys::readFromFile(f, buf, sizeof buf)) > 0) back.append(buf, (size_t)n);
  EXPECT_EQ(n, 0);
  sys::closeFile(f);
  EXPECT_EQ(back, data);
  EXPECT_EQ(sys::openForReading(in(d, "missing")), sys::kNoFile);
  EXPECT_EQ(sys::openForReading(d.path), sys::kNoFile);
}

}  // namespace
