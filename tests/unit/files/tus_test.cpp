#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "files/names.h"
#include "files/tus_finish.h"
#include "files/tus_metadata.h"
#include "files/tus_reply.h"
#include "files/tus_state.h"
#include "files/tus_table.h"
#include "files/tus_target.h"
#include "support/temp_dir.h"
#include "sys/folders.h"
#include "sys/fs.h"
#include "sys/partial_file.h"

namespace {

using files::NameRules;

TEST(TusMetadata, PairsWithAndWithoutValuesAndMalformedHeaders) {
  files::TusMetadata m;
  // "filename" = "Bericht März.pdf", "is_confidential" without a value.
  ASSERT_TRUE(files::parseUploadMetadata("filename QmVyaWNodCBNw6Ryei5wZGY=, is_confidential,path ZG9jcw==", m));
  std::string v;
  EXPECT_TRUE(files::metadataValue(m, "filename", v));
  EXPECT_EQ(v, "Bericht M\xC3\xA4rz.pdf");
  EXPECT_TRUE(files::metadataValue(m, "is_confidential", v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(files::metadataValue(m, "path", v));
  EXPECT_EQ(v, "docs");
  EXPECT_FALSE(files::metadataValue(m, "relativePath", v));
  EXPECT_TRUE(files::parseUploadMetadata("", m));
  EXPECT_TRUE(m.empty());
  for (const char* bad : {"filename !!!", "filename YQ=,filename Yg==", "a YQ==,", ",a", "a Y", "a YQ=x"})
    EXPECT_FALSE(files::parseUploadMetadata(bad, m)) << bad;
  EXPECT_TRUE(files::decodeBase64("YWI", v));
  EXPECT_EQ(v, "ab");
}

TEST(TusNames, ReservedFormsAndWhatCannotBeCreated) {
  for (NameRules rules : {NameRules::Posix, NameRules::Windows}) {
    for (const char* reserved : {".vantrel-partial-0a1b", ".VANTREL-Partial-x", ".vantrel-partial-"})
      EXPECT_FALSE(files::isPlainName(reserved, rules)) << reserved;
    EXPECT_EQ(files::sanitizeUploadName(".Vantrel-Partial-1", rules), "_.Vantrel-Partial-1");
    EXPECT_FALSE(files::isAllowedClientPath("a/.vantrel-partial-1/b", rules));
    EXPECT_TRUE(files::isAllowedClientPath("a/vantrel-partial-1", rules));
    for (const char* bad : {"tab\t", "\x7f", "a\x1b", "..", "a/b"})
      EXPECT_FALSE(files::isStorableName(bad, rules)) << bad;
    EXPECT_FALSE(files::isStorableName(std::string(256, 'n'), rules));
    EXPECT_TRUE(files::isStorableName("M\xC3\xA4rz (1).pdf", rules));
  }
  for (const char* name : {"x.", "x ", "a?b", "a*b", "a<b", "a|b", "a\"b", "nul.txt", "a:b"}) {
    EXPECT_TRUE(files::isStorableName(name, NameRules::Posix)) << name;
    EXPECT_FALSE(files::isStorableName(name, NameRules::Windows)) << name;
  }
  EXPECT_EQ(files::numberedName("photo.jpg", 2), "photo (2).jpg");
  EXPECT_EQ(files::numberedName("archive.tar.gz", 1), "archive.tar (1).gz");
  EXPECT_EQ(files::numberedName(".profile", 1), ".profile (1)");
  EXPECT_EQ(files::numberedName("README", 3), "README (3)");
}

TEST(TusState, RoundTripOfEveryFieldAndRefusalOfBrokenText) {
  files::TusUpload u;
  u.folder = "/srv/odd%0Apath\nwith line";
  u.name = "n\xC3\xA4me.bin";
  u.length = 1ull << 40;
  u.expiresAt = 1800000000;
  u.modifiedMs = 1700000000123;
  u.overwrite = true;
  u.owner = "ab12";
  u.clientHost = "::ffff:127.0.0.1";
  std::string id(32, 'c');
  files::TusUpload back;
  ASSERT_TRUE(files::decodeTusState(id, files::encodeTusState(u), back));
  EXPECT_EQ(back.id, id);
  EXPECT_EQ(back.folder, u.folder);
  EXPECT_EQ(back.name, u.name);
  EXPECT_EQ(back.length, u.length);
  EXPECT_EQ(back.expiresAt, u.expiresAt);
  EXPECT_EQ(back.modifiedMs, u.modifiedMs);
  EXPECT_TRUE(back.overwrite);
  EXPECT_EQ(back.owner, u.owner);
  EXPECT_EQ(back.clientHost, u.clientHost);
  std::string text = files::encodeTusState(u);
  EXPECT_FALSE(files::decodeTusState(id, text.substr(0, text.find("length=")), back));
  EXPECT_FALSE(files::decodeTusState("../x", text, back));
  EXPECT_FALSE(files::decodeTusState(id, "length=12x\n" + text, back));
}

TEST(TusReply, DatesAndEncodedNames) {
  EXPECT_EQ(files::httpDateAt(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(files::httpDateAt(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_EQ(files::httpDateAt(1700000000), "Tue, 14 Nov 2023 22:13:20 GMT");
  EXPECT_EQ(files::percentEncode("a b (1).t\xC3\xA4~"), "a%20b%20%281%29.t%C3%A4~");
}

TEST(TusTable, ANewerRequestTakesOverAndAStuckOneIsNotWaitedForever) {
  files::clearUploads();
  files::TusUpload u;
  u.id = std::string(32, 'a');
  u.length = 100;
  u.expiresAt = 2000;
  ASSERT_EQ(files::addUpload(u), files::Added::Yes);
  files::TusClaim first, second, third;
  files::TusUpload copy;
  EXPECT_EQ(files::claimUpload(u.id, "other owner", 1000, 0, first, copy), files::Claimed::NotFound);
  EXPECT_EQ(files::claimUpload(u.id, "", 2000, 0, first, copy), files::Claimed::NotFound);  // expired
  ASSERT_EQ(files::claimUpload(u.id, "", 1000, 0, first, copy), files::Claimed::Yes);

  // The writer sees it has been asked to stop, and lets go with what it wrote.
  std::thread writer([&] {
    while (files::stillClaimed(first)) std::this_thread::yield();
    files::releaseUpload(first, 42, 2500);
  });
  ASSERT_EQ(files::claimUpload(u.id, "", 1000, 60000, second, copy), files::Claimed::Yes);
  writer.join();
  EXPECT_EQ(copy.offset, 42u);
  EXPECT_EQ(copy.expiresAt, 2500u);
  // Nobody releases the second claim: the next request gives up.
  EXPECT_EQ(files::claimUpload(u.id, "", 1000, 20, third, copy), files::Claimed::Busy);
  files::dropUpload(second);
  EXPECT_EQ(files::claimUpload(u.id, "", 1000, 0, third, copy), files::Claimed::NotFound);
}

TEST(TusFinish, TakenNamesAreNumberedOrReplacedAndTheTimeKept) {
  test::TempDir dir;
  files::TusUpload u;
  u.id = std::string(32, 'b');
  u.folder = dir.path;
  u.name = "photo.jpg";
  u.modifiedMs = 1600000000000;
  test::writeFile(sys::joinPath(dir.path, "photo.jpg"), "old");
  sys::createDirectories(sys::joinPath(dir.path, "photo (1).jpg"));
  for (const char* expected : {"photo (2).jpg", "photo (3).jpg"}) {
    test::writeFile(files::partialPathOf(u), expected);
    EXPECT_EQ(files::placeUpload(u), expected);
    EXPECT_EQ(test::readFile(sys::joinPath(dir.path, expected)), expected);
  }
  u.overwrite = true;
  test::writeFile(files::partialPathOf(u), "new");
  EXPECT_EQ(files::placeUpload(u), "photo.jpg");
  EXPECT_EQ(test::readFile(sys::joinPath(dir.path, "photo.jpg")), "new");
  EXPECT_EQ(sys::pathKind(files::partialPathOf(u)), sys::PathKind::Missing);
  sys::FileHandle f = sys::openForReading(sys::joinPath(dir.path, "photo.jpg"));
  uint64_t seconds = 0;
  ASSERT_TRUE(sys::fileModifiedSeconds(f, seconds));
  sys::closeFile(f);
  EXPECT_EQ(seconds, 1600000000u);
}

}  // namespace
