#include "sys/entry_move.h"

#include <gtest/gtest.h>

#include "files/tree_copy.h"
#include "support/temp_dir.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace {

class Moves : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string at(const std::string& name) { return sys::joinPath(dir.path, name); }
};

TEST_F(Moves, NoRenameReplacesAnything) {
  test::writeFile(at("a.txt"), "a");
  test::writeFile(at("b.txt"), "b");
  ASSERT_TRUE(sys::createFolder(at("empty")));
  ASSERT_TRUE(sys::createFolder(at("full")));
  test::writeFile(at("full/x"), "x");
  EXPECT_EQ(sys::renameNoReplace(at("a.txt"), at("b.txt")), sys::Renamed::NameTaken);
  // Not even an empty folder, which a plain rename of a folder replaces.
  EXPECT_EQ(sys::renameNoReplace(at("full"), at("empty")), sys::Renamed::NameTaken);
  EXPECT_EQ(sys::renameNoReplace(at("a.txt"), at("empty")), sys::Renamed::NameTaken);
  EXPECT_EQ(test::readFile(at("a.txt")), "a");
  EXPECT_EQ(test::readFile(at("b.txt")), "b");
  EXPECT_EQ(test::readFile(at("full/x")), "x");

  EXPECT_EQ(sys::renameNoReplace(at("full"), at("moved")), sys::Renamed::Done);
  EXPECT_EQ(test::readFile(at("moved/x")), "x");
  EXPECT_EQ(sys::renameNoReplace(at("missing"), at("c.txt")), sys::Renamed::Missing);
  EXPECT_EQ(sys::renameNoReplace(at("a.txt"), at("A.txt")), sys::Renamed::Done);
  EXPECT_EQ(test::readFile(at("A.txt")), "a");
}

TEST_F(Moves, TreesAreCopiedWholeAndRemovedWhole) {
  ASSERT_TRUE(sys::createFolder(at("t")));
  ASSERT_TRUE(sys::createFolder(at("t/sub")));
  test::writeFile(at("t/sub/deep.bin"), std::string(3 << 20, 'd'));
  test::writeFile(at("t/top.txt"), "top");
  test::writeFile(at("t/.vantrel-partial-0011"), "upload in progress");
  ASSERT_TRUE(files::copyTree(at("t"), at("copy")));
  EXPECT_EQ(test::readFile(at("copy/sub/deep.bin")), std::string(3 << 20, 'd'));
  EXPECT_EQ(test::readFile(at("copy/top.txt")), "top");
  EXPECT_EQ(sys::pathKind(at("copy/.vantrel-partial-0011")), sys::PathKind::Missing);
  // A copy never lands on a taken name.
  EXPECT_FALSE(sys::copyFileNew(at("t/top.txt"), at("copy/sub/deep.bin")));
  EXPECT_EQ(test::readFile(at("copy/sub/deep.bin")).size(), size_t(3 << 20));
  EXPECT_FALSE(files::copyTree(at("t"), at("copy")));

  EXPECT_TRUE(files::removeTree(at("t")));
  EXPECT_EQ(sys::pathKind(at("t")), sys::PathKind::Missing);
  EXPECT_FALSE(files::removeTree(at("t")));
}

}  // namespace
