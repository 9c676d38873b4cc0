#include "core/log_text.h"

#include <gtest/gtest.h>

namespace {

std::string safe(const std::string& s) { return core::logSafeText(s, 400); }

TEST(LogSafeText, LineBreaksControlsAndBadBytesAreEscapedTheRestKept) {
  EXPECT_EQ(safe("a\n2026-12-09 11:11:11.111  AUTH    Master PIN updated (registry)\r"),
            "a\\x0a2026-12-09 11:11:11.111  AUTH    Master PIN updated (registry)\\x0d");
  EXPECT_EQ(safe("\x1b]0;title\x07\x1b[2J\t\x7f\x01"), "\\x1b]0;title\\x07\\x1b[2J\\x09\\x7f\\x01");
  // NEL and the other C1 controls, the separators, bidirectional overrides.
  EXPECT_EQ(safe("x\xc2\x85\xc2\x9b\xe2\x80\xa8y\xe2\x80\xa9\xe2\x80\xae\xe2\x81\xa6"),
            "x\\u0085\\u009b\\u2028y\\u2029\\u202e\\u2066");
  // Stray continuation, overlong "/", a surrogate, a cut-off sequence.
  EXPECT_EQ(safe("\xff\x80\xc0\xaf\xed\xa0\x80 \xe2\x82"), "\\xff\\x80\\xc0\\xaf\\xed\\xa0\\x80 \\xe2\\x82");
  const std::string kept = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 C:\\Users\\x \"q\" <b>";
  EXPECT_EQ(safe(kept), kept);
}

TEST(LogSafeText, CutsAfterMaxCharactersNeverWithinACharacterOrAnEscape) {
  EXPECT_EQ(core::logSafeText("abcdef", 6), "abcdef");
  EXPECT_EQ(core::logSafeText("abcdefg", 6), "abcdef\xe2\x80\xa6");
  EXPECT_EQ(core::logSafeText("\xc3\xa9\xc3\xa9\xc3\xa9", 2), "\xc3\xa9\xc3\xa9\xe2\x80\xa6");
  EXPECT_EQ(core::logSafeText("ab\ncd", 5), "ab\xe2\x80\xa6");
  EXPECT_EQ(core::logSafeText("ab\ncd", 6), "ab\\x0a\xe2\x80\xa6");
}

}  // namespace
