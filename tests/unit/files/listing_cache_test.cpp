#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "files/listing.h"
#include "http/conditional.h"
#include "support/temp_dir.h"
#include "sys/file_times.h"
#include "sys/folders.h"

namespace {

namespace fs = std::filesystem;
using files::Listing;
using files::ListingKind;

// Where folders are watched (not on Windows, see sys::watchFolder), an
// unchanged folder's listing is the answer kept, not one read again.
void expectKept(const std::string& folder, const Listing& l) {
#ifndef _WIN32
  EXPECT_EQ(files::folderListing(folder, ListingKind::Folder).get(), l.get());
#else
  (void)folder;
  (void)l;
#endif
}

bool has(const Listing& l, const std::string& text) { return l->body.find(text) != std::string::npos; }

TEST(ListingCache, KeptAnswerFollowsEveryKindOfChange) {
  test::TempDir d;
  std::string folder = sys::joinPath(d.path, "watched");
  std::string sub = sys::joinPath(folder, "sub");
  std::string a = sys::joinPath(folder, "a.txt");
  sys::createDirectories(sub);
  test::writeFile(a, "12345");
  ASSERT_TRUE(sys::setFileModifiedMs(a, 1700000000000ull));
  ASSERT_TRUE(sys::setFileModifiedMs(sub, 1600000000000ull));

  Listing first = files::folderListing(folder, ListingKind::Folder);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->etag, http::bodyEtag(first->body));
  EXPECT_TRUE(has(first, "{\"name\":\"a.txt\",\"type\":\"file\",\"size\":5,\"modified\":1700000000}")) << first->body;
  expectKept(folder, first);
  Listing shared = files::folderListing(folder, ListingKind::Shared);
  EXPECT_EQ(shared->body, "{\"ok\":true,\"items\":[{\"name\":\"a.txt\",\"size\":5,\"modified\":1700000000}]}");

  test::writeFile(sys::joinPath(folder, "new.txt"), "n");
  Listing l = files::folderListing(folder, ListingKind::Folder);
  EXPECT_TRUE(has(l, "\"new.txt\"")) << l->body;
  l = files::folderListing(folder, ListingKind::Shared);
  EXPECT_TRUE(has(l, "\"new.txt\"")) << l->body;

  // Rewritten in place, its size and time put back: nothing in the listing
  // can show it, yet the kept answer must not be trusted any more.
  Listing before = files::folderListing(folder, ListingKind::Folder);
  test::writeFile(a, "54321");
  ASSERT_TRUE(sys::setFileModifiedMs(a, 1700000000000ull));
  l = files::folderListing(folder, ListingKind::Folder);
  EXPECT_NE(l.get(), before.get());
  EXPECT_EQ(l->body, before->body);

  fs::remove(fs::u8path(sys::joinPath(folder, "new.txt")));
  l = files::folderListing(folder, ListingKind::Folder);
  EXPECT_FALSE(has(l, "\"new.txt\"")) << l->body;

  test::writeFile(sys::joinPath(d.path, "outside.txt"), "moved");
  fs::rename(fs::u8path(sys::joinPath(d.path, "outside.txt")), fs::u8path(sys::joinPath(folder, "moved.txt")));
  l = files::folderListing(folder, ListingKind::Folder);
  EXPECT_TRUE(has(l, "\"moved.txt\"")) << l->body;

  // A subfolder's own time follows its content, which this folder's watch
  // does not hear of.
  before = files::folderListing(folder, ListingKind::Folder);
  test::writeFile(sys::joinPath(sub, "inner.txt"), "i");
  l = files::folderListing(folder, ListingKind::Folder);
  EXPECT_NE(l->body, before->body);

#ifndef _WIN32
  // Written through its name in another folder. The link made there is not
  // reported here, so the folder changes once before the listing is kept
  // again. (Windows keeps no listings; its enumeration could not tell these.)
  std::string twin = sys::joinPath(d.path, "twin");
  fs::create_hard_link(fs::u8path(a), fs::u8path(twin));
  test::writeFile(sys::joinPath(folder, "poke"), "");
  fs::remove(fs::u8path(sys::joinPath(folder, "poke")));
  files::folderListing(folder, ListingKind::Folder);
  test::writeFile(twin, "1234567");
  l = files::folderListing(folder, ListingKind::Folder);
  EXPECT_TRUE(has(l, "{\"name\":\"a.txt\",\"type\":\"file\",\"size\":7,")) << l->body;
#endif

  // Moved away with its parent, which its own watch does not report, and
  // another made at its path (one without subfolders, so that only the
  // folder's identity can tell).
  std::string plain = sys::joinPath(sys::joinPath(d.path, "p2"), "plain");
  sys::createDirectories(plain);
  test::writeFile(sys::joinPath(plain, "old.txt"), "o");
  files::folderListing(plain, ListingKind::Folder);
  fs::rename(fs::u8path(sys::joinPath(d.path, "p2")), fs::u8path(sys::joinPath(d.path, "away")));
  sys::createDirectories(plain);
  test::writeFile(sys::joinPath(plain, "fresh.txt"), "f");
  l = files::folderListing(plain, ListingKind::Folder);
  EXPECT_TRUE(has(l, "\"fresh.txt\"") && !has(l, "\"old.txt\"")) << l->body;
}

}  // namespace
