#include "files/crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t bitwiseCrc(const std::string& s) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}

TEST(Crc32, KnownVectors) {
  EXPECT_EQ(files::crc32("abc", 3), 0x352441C2u);
  EXPECT_EQ(files::crc32("", 0), 0u);
  EXPECT_EQ(files::crc32("123456789", 9), 0xCBF43926u);
  std::string fox = "The quick brown fox jumps over the lazy dog";
  EXPECT_EQ(files::crc32(fox.data(), fox.size()), 0x414FA339u);
}

TEST(Crc32, EveryLengthAndAlignmentMatchesTheBitwiseDefinition) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += (char)(i * 131 + 17);
  for (size_t start = 0; start < 9; ++start)
    for (size_t len = 0; start + len <= data.size(); ++len)
      ASSERT_EQ(files::crc32(data.data() + start, len), bitwiseCrc(data.substr(start, len))) << start << "+" << len;
}

TEST(Crc32, ContinuingOverPiecesEqualsOnePass) {
  std::string data(100003, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = (char)(i ^ (i >> 9));
  uint32_t whole = files::crc32(data.data(), data.size());
  for (size_t piece : {1u, 7u, 8u, 4096u, 65537u}) {
    uint32_t crc = 0;
    for (size_t at = 0; at < data.size(); at += piece)
      crc = files::crc32Update(crc, data.data() + at, std::min(piece, data.size() - at));
    EXPECT_EQ(crc, whole) << piece;
  }
}

}  // namespace
