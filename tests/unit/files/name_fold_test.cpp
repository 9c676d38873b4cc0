#include "files/name_fold.h"

#include <gtest/gtest.h>

#include "files/paths.h"

namespace {

bool finds(const std::string& name, const std::string& query) {
  return files::nameContainsFolded(name, files::foldText(query));
}

TEST(NameFold, CapitalAndSmallLettersOfLatinGreekAndCyrillicMatch) {
  const std::pair<const char*, const char*> pairs[] = {
      {"\u00c0\u00c9\u00ce\u00d5\u00dc\u00de", "\u00e0\u00e9\u00ee\u00f5\u00fc\u00fe"},  // ÀÉÎÕÜÞ
      {"\u0141\u0104\u017b\u0106\u0152\u0178", "\u0142\u0105\u017c\u0107\u0153\u00ff"},  // ŁĄŻĆŒŸ
      {"\u01cd\u1e9e\u1ea0", "\u01ce\u00df\u1ea1"},                                       // Ǎ ẞ Ạ
      {"\u0386\u0388\u0389\u038a\u038c\u038e\u038f", "\u03ac\u03ad\u03ae\u03af\u03cc\u03cd\u03ce"},  // ΆΈΉΊΌΎΏ
      {"\u0391\u03a3\u03a9\u03aa", "\u03b1\u03c3\u03c9\u03ca"},                           // ΑΣΩΪ
      {"\u0401\u0416\u0429\u042f\u0403\u0462\u04c1\u04d0", "\u0451\u0436\u0449\u044f\u0453\u0463\u04c2\u04d1"},
      {"\uff21\uff3a", "\uff41\uff5a"},  // fullwidth A Z
  };
  for (const auto& [capital, small] : pairs) {
    EXPECT_EQ(files::foldText(capital), files::foldText(small)) << capital;
    EXPECT_TRUE(finds(std::string("IMG ") + small + ".jpg", capital)) << capital;
  }
  // Final sigma is a sigma; the micro sign is mu.
  EXPECT_TRUE(finds("\u039f\u0394\u039f\u03a3", "\u03bf\u03b4\u03bf\u03c2"));
  EXPECT_TRUE(finds("5\u00b5m", "5\u03bcM"));
}

TEST(NameFold, OtherCharactersStayThemselves) {
  // Multiplication and division signs sit among the letters but are none.
  EXPECT_EQ(files::foldText("\u00d7\u00f7"), U"\u00d7\u00f7");
  EXPECT_EQ(files::foldText("\u65e5\u672c 1-2_x"), U"\u65e5\u672c 1-2_x");
  EXPECT_FALSE(finds("abc", "abd"));
  EXPECT_TRUE(finds("abc", ""));
  // Malformed bytes, overlong forms and surrogates never match a letter.
  EXPECT_EQ(files::foldText("a\xff\xc0\xaf\xed\xa0\x80z"), U"a\ufffd\ufffd\ufffd\ufffd\ufffd\ufffdz");
  EXPECT_EQ(files::foldText("\xe2\x82"), U"\ufffd\ufffd");
  EXPECT_FALSE(finds("a\xc3", "\u00c3"));
}

TEST(ClientPathNesting, WholeSegmentsOnlyAndCaseAsTheSystemSeesIt) {
  using files::NameRules;
  for (NameRules rules : {NameRules::Posix, NameRules::Windows}) {
    EXPECT_TRUE(files::isSameOrBelow("a/b", "a", rules));
    EXPECT_TRUE(files::isSameOrBelow("a/b", "a/b", rules));
    EXPECT_TRUE(files::isSameOrBelow("x", "", rules));
    EXPECT_FALSE(files::isSameOrBelow("a/bc", "a/b", rules));
    EXPECT_FALSE(files::isSameOrBelow("a", "a/b", rules));
    EXPECT_FALSE(files::isSameOrBelow("", "a", rules));
  }
  EXPECT_TRUE(files::isSameOrBelow("Fotos/\u00c4/x", "fotos/\u00e4", NameRules::Windows));
  EXPECT_FALSE(files::isSameOrBelow("Fotos/\u00c4/x", "fotos/\u00e4", NameRules::Posix));
}

}  // namespace
