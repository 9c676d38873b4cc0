#include "files/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "files/web_root.h"
#include "support/temp_dir.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace {

const std::string kSep(1, sys::kPathSeparator);

class ClientPaths : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string root;
  void SetUp() override {
    root = sys::fullPath(dir.path);
    files::setWebRoot(root);
  }
  void TearDown() override { files::setWebRoot({}); }
  std::string under(const std::string& rel) { return root + kSep + rel; }
};

TEST(ClientPathText, NormalizingTurnsBackslashesAndDropsLeadingSlashes) {
  EXPECT_EQ(files::normalizeClientPath("docs\\sub"), "docs/sub");
  EXPECT_EQ(files::normalizeClientPath("//\\/docs/a/"), "docs/a/");
  EXPECT_EQ(files::normalizeClientPath("///"), "");
  EXPECT_EQ(files::normalizeClientPath(""), "");
}

TEST_F(ClientPaths, EmptyAndSlashOnlyNameTheWebRootItself) {
  EXPECT_EQ(files::resolveClientPath(""), root);
  EXPECT_EQ(files::resolveClientPath("/"), root);
  EXPECT_EQ(files::resolveClientPath("\\\\"), root);
  EXPECT_EQ(files::resolveClientPath("."), root);
}

TEST_F(ClientPaths, SeparatorsOfEitherKindResolveToTheSameFolder) {
  std::string expected = under("docs" + kSep + "sub");
  for (const char* p : {"docs/sub", "docs\\sub", "/docs/sub", "//docs//sub", "docs/./sub"})
    EXPECT_EQ(files::resolveClientPath(p), expected) << p;
}

TEST_F(ClientPaths, DoubleDotIsRefusedAsAWholeSegmentOnly) {
  for (const char* p : {"..", "../x", "docs/../x", "docs/..", "..\\..\\Windows", "/..", "docs\\..\\x"})
    EXPECT_EQ(files::resolveClientPath(p), "") << p;
  EXPECT_EQ(files::resolveClientPath("a..b/report..final.txt"), under("a..b" + kSep + "report..final.txt"));
  EXPECT_EQ(files::resolveClientPath("x/..."), sys::kWindowsFileNames ? "" : under("x" + kSep + "..."));
}

TEST_F(ClientPaths, NulBytesAreRefused) {
  EXPECT_EQ(files::resolveClientPath(std::string("a\0/../../etc", 12)), "");
  EXPECT_EQ(files::resolveClientPath(std::string("docs\0", 5)), "");
}

TEST_F(ClientPaths, DriveAndServerNamesStayBelowTheWebRoot) {
  std::string server = files::resolveClientPath("//server/share");
  EXPECT_EQ(server, under("server" + kSep + "share"));
  std::string drive = files::resolveClientPath("C:/Windows");
  if (sys::kWindowsFileNames) {
    EXPECT_EQ(drive, "");  // a colon is never part of a plain name there
  } else {
    EXPECT_EQ(drive, under("C:" + kSep + "Windows"));
  }
}

TEST_F(ClientPaths, CleanClientPathOfAPathOnDisk) {
  for (const char* root : {".", "./", "/./", ""}) EXPECT_EQ(files::clientPathOf(files::resolveClientPath(root)), "");
  EXPECT_EQ(files::clientPathOf(files::resolveClientPath("docs//./2026/")), "docs/2026");
  // Beside or above the web root there is no client path.
  EXPECT_EQ(files::clientPathOf(root + "2" + kSep + "x"), "");
  EXPECT_EQ(files::clientPathOf(root + kSep + ".."), "");
}

TEST_F(ClientPaths, FullPathsLongerThanTheLimitAreRefused) {
  size_t room = sys::kMaxFullPath - root.size() - 1;  // characters left after root + separator
  std::string fits(room, 'a');
  std::string over(room + 1, 'a');
  EXPECT_EQ(files::resolveClientPath(fits), under(fits));
  EXPECT_EQ(files::resolveClientPath(over), "");
  EXPECT_EQ(files::resolveClientPath(std::string(100000, 'b')), "");
}

TEST_F(ClientPaths, WebRootWithTrailingSeparatorJoinsOnce) {
  files::setWebRoot(root + kSep);
  EXPECT_EQ(files::resolveClientPath("x"), under("x"));
}

#ifdef _WIN32
TEST_F(ClientPaths, PrefixTestIgnoresCaseOnWindows) {
  std::string upper = root;
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
  files::setWebRoot(upper);
  EXPECT_EQ(files::resolveClientPath("x"), upper + "\\x");
  EXPECT_TRUE(sys::hasPathPrefix(root + "\\x", upper));
}

TEST_F(ClientPaths, TrailingDotsAndBlanksFoldOnWindowsButATrailingSeparatorStays) {
  EXPECT_EQ(files::resolveClientPath("docs/sub/"), under("docs\\sub\\"));
  EXPECT_EQ(files::resolveClientPath("docs."), under("docs"));
  EXPECT_EQ(files::resolveClientPath("docs/sub. ."), under("docs\\sub"));
}

TEST_F(ClientPaths, DeviceNamesAndStreamsAreRefused) {
  for (const char* p : {"CON", "docs/nul", "nul.txt/x", "docs/COM\xC2\xB9", "a.txt::$DATA", "a.txt:hidden"})
    EXPECT_EQ(files::resolveClientPath(p), "") << p;
}

TEST(ClientPathDrive, ADriveRootServesItsFolders) {
  files::setWebRoot("C:\\");
  EXPECT_EQ(files::resolveClientPath("Share/x"), "C:\\Share\\x");
  files::setWebRoot({});
}
#else
TEST_F(ClientPaths, PrefixTestKeepsCaseOnLinux) {
  std::string upper = root;
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
  EXPECT_FALSE(sys::hasPathPrefix(root + "/x", upper));
}

TEST_F(ClientPaths, TrailingDotsAreNamesOnLinuxAndATrailingSeparatorFolds) {
  EXPECT_EQ(files::resolveClientPath("docs/sub/"), under("docs/sub"));
  EXPECT_EQ(files::resolveClientPath("docs."), under("docs."));
  EXPECT_EQ(files::resolveClientPath("a\\b"), under("a/b"));
}
#endif

TEST(FullPath, FoldsDotsAndRepeatedSeparators) {
  std::string base = sys::fullPath(test::TempDir().path);
  EXPECT_EQ(sys::fullPath(base + kSep + "a" + kSep + kSep + "b" + kSep + "." + kSep + "c"),
            base + kSep + "a" + kSep + "b" + kSep + "c");
  EXPECT_EQ(sys::fullPath(base + kSep + "a" + kSep + ".." + kSep + "c"), base + kSep + "c");
  EXPECT_EQ(sys::fullPath(""), "");
  EXPECT_EQ(sys::fullPath(std::string("a\0b", 3)), "");
}

#ifndef _WIN32
TEST(FullPath, LinuxFoldsTrailingSeparatorsAndAnchorsRelativePaths) {
  EXPECT_EQ(sys::fullPath("/a/b/"), "/a/b");
  EXPECT_EQ(sys::fullPath("/../.."), "/");
  EXPECT_EQ(sys::fullPath("/"), "/");
  std::string here = sys::fullPath(".");
  EXPECT_EQ(here.front(), '/');
  EXPECT_EQ(sys::fullPath("x/y"), here == "/" ? "/x/y" : here + "/x/y");
}
#endif

}  // namespace
