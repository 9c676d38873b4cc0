#include "http/byte_ranges.h"

#include <gtest/gtest.h>

namespace {

using http::RangeKind;

const std::string kTag = http::fileEtag(1000, 784111777);

std::string chosen(const std::string& range, uint64_t size = 1000, const std::string& ifRange = "") {
  http::RangeChoice c = http::chooseRange(range, ifRange, size, kTag, 784111777);
  if (c.kind == RangeKind::Whole) return "whole";
  return http::contentRange(c, size);
}

TEST(ByteRanges, DatesRoundTripAndOnlyTheFixedFormIsRead) {
  EXPECT_EQ(http::httpDateOf(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(http::httpDateOf(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(http::httpDateOf(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
  for (uint64_t t : {0ull, 784111777ull, 951782400ull, 4102444799ull}) {
    uint64_t back = 1;
    EXPECT_TRUE(http::parseHttpDate(http::httpDateOf(t), back));
    EXPECT_EQ(back, t);
  }
  uint64_t ignored;
  EXPECT_FALSE(http::parseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT", ignored));
  EXPECT_FALSE(http::parseHttpDate("Sun Nov  6 08:49:37 1994", ignored));
  EXPECT_FALSE(http::parseHttpDate("Sun, 06 Xyz 1994 08:49:37 GMT", ignored));
  EXPECT_FALSE(http::parseHttpDate("Sun, 06 Nov 1994 08:4a:37 GMT", ignored));
}

TEST(ByteRanges, EachFormAndItsEdges) {
  EXPECT_EQ(chosen(""), "whole");
  EXPECT_EQ(chosen("bytes=0-99"), "bytes 0-99/1000");
  EXPECT_EQ(chosen("Bytes = 10-"), "whole");  // no space is allowed around "="
  EXPECT_EQ(chosen("BYTES=10-"), "bytes 10-999/1000");
  EXPECT_EQ(chosen("bytes=-100"), "bytes 900-999/1000");
  EXPECT_EQ(chosen("bytes=-5000"), "bytes 0-999/1000");
  EXPECT_EQ(chosen("bytes=990-5000"), "bytes 990-999/1000");
  EXPECT_EQ(chosen("bytes=999-999"), "bytes 999-999/1000");
  EXPECT_EQ(chosen("bytes=1000-"), "bytes */1000");
  EXPECT_EQ(chosen("bytes=1000-2000"), "bytes */1000");
  EXPECT_EQ(chosen("bytes=-0"), "bytes */1000");
  EXPECT_EQ(chosen("bytes=0-", 0), "bytes */0");
  EXPECT_EQ(chosen("bytes=-10", 0), "whole");
  // Malformed, other units, several ranges: the whole file.
  for (const char* odd : {"bytes=5-1", "bytes=a-b", "bytes=-", "bytes=1-2-3", "items=0-5", "bytes=0-1,5-6",
                          "bytes=99999999999999999999999-", "bytes= 1 -2"})
    EXPECT_EQ(chosen(odd), "whole") << odd;
}

TEST(ByteRanges, IfRangeNamesTheCurrentFileOrTheWholeIsSent) {
  EXPECT_EQ(chosen("bytes=10-", 1000, kTag), "bytes 10-999/1000");
  EXPECT_EQ(chosen("bytes=10-", 1000, "Sun, 06 Nov 1994 08:49:37 GMT"), "bytes 10-999/1000");
  EXPECT_EQ(chosen("bytes=10-", 1000, "Sun, 06 Nov 1994 08:49:38 GMT"), "whole");
  EXPECT_EQ(chosen("bytes=10-", 1000, http::fileEtag(1001, 784111777)), "whole");
  EXPECT_EQ(chosen("bytes=10-", 1000, "W/" + kTag), "whole");
  EXPECT_EQ(chosen("bytes=10-", 1000, "yesterday"), "whole");
  EXPECT_EQ(chosen("bytes=5000-", 1000, "yesterday"), "whole") << "a stale If-Range never gives 416";
}

}  // namespace
