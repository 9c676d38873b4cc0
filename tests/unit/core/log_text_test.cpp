#include "core/log_text.h"

#include <gtest/gtest.h>

namespace {

TEST(LogSafeText, EscapesWhatBreaksOrReordersLinesAndCutsBetweenCharacters) {
  auto safe = [](const std::string& s, size_t max = 400) { return core::logSafeText(s, max); };
  EXPECT_EQ(safe("a\nb\r\x1b]0;title\x07\x1b[2J\t\x7f\x01"), "a\\x0ab\\x0d\\x1b]0;title\\x07\\x1b[2J\\x09\\x7f\\x01");
  // C1 controls, the separators, bidirectional overrides.
  EXPECT_EQ(safe("x\xc2\x85\xe2\x80\xa8y\xe2\x80\xa9\xe2\x80\xae\xe2\x81\xa6"), "x\\u0085\\u2028y\\u2029\\u202e\\u2066");
  // Stray continuation, overlong "/", a surrogate, a cut-off sequence.
  EXPECT_EQ(safe("\xff\x80\xc0\xaf\xed\xa0\x80 \xe2\x82"), "\\xff\\x80\\xc0\\xaf\\xed\\xa0\\x80 \\xe2\\x82");
  const std::string kept = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 C:\\Users\\x \"q\" <b>";
  EXPECT_EQ(safe(kept), kept);
  EXPECT_EQ(safe("abcdef", 6), "abcdef");
  EXPECT_EQ(safe("\xc3\xa9\xc3\xa9\xc3\xa9", 2), "\xc3\xa9\xc3\xa9\xe2\x80\xa6");
  EXPECT_EQ(safe("ab\ncd", 5), "ab\xe2\x80\xa6");
  EXPECT_EQ(safe("ab\ncd", 6), "ab\\x0a\xe2\x80\xa6");
}

}  // namespace
