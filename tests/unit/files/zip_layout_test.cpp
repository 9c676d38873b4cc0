#include "files/zip_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

uint32_t le32(const std::string& s, size_t at) {
  return (uint32_t)(unsigned char)s[at] | (uint32_t)(unsigned char)s[at + 1] << 8 |
         (uint32_t)(unsigned char)s[at + 2] << 16 | (uint32_t)(unsigned char)s[at + 3] << 24;
}
uint16_t le16(const std::string& s, size_t at) {
  return (uint16_t)((unsigned char)s[at] | (unsigned char)s[at + 1] << 8);
}

TEST(DosTime, PacksLocalDateAndTime) {
  EXPECT_EQ(files::dosDate(2026, 3, 7), 0x5C67);
  EXPECT_EQ(files::dosTime(14, 5, 33), 0x70B0);
  EXPECT_EQ(files::dosDate(1975, 6, 1), (6 << 5) | 1);
  EXPECT_EQ(files::dosDate(1980, 1, 1), 0x0021);
  EXPECT_EQ(files::dosTime(23, 59, 59), (23 << 11) | (59 << 5) | 29);
}

files::ZipEntry entry(const std::string& name, uint32_t crc, uint64_t size) {
  files::ZipEntry e;
  e.name = name;
  e.crc = crc;
  e.size = size;
  e.dosDate = 0x5C67;
  e.dosTime = 0x70B0;
  return e;
}

TEST(ZipLayout, LocalHeaderFields) {
  files::ZipEntry e = entry("docs/\xc3\xa4.txt", 0x352441C2, 3);
  std::string h = files::localHeader(e);
  ASSERT_EQ(h.size(), 30 + e.name.size());
  EXPECT_EQ(le32(h, 0), 0x04034B50u);
  EXPECT_EQ(le16(h, 4), 20);
  EXPECT_EQ(le16(h, 6), 0x0800);
  EXPECT_EQ(le16(h, 8), 0);
  EXPECT_EQ(le16(h, 10), 0x70B0);
  EXPECT_EQ(le16(h, 12), 0x5C67);
  EXPECT_EQ(le32(h, 14), 0x352441C2u);
  EXPECT_EQ(le32(h, 18), 3u);
  EXPECT_EQ(le32(h, 22), 3u);
  EXPECT_EQ(le16(h, 26), e.name.size());
  EXPECT_EQ(le16(h, 28), 0);
  EXPECT_EQ(h.substr(30), e.name);
}

TEST(ZipLayout, CentralHeaderAndEndRecordFields) {
  files::ZipEntry e = entry("a", 7, 0xFFFFFFFFull);
  e.offset = 0x12345678;
  std::string h = files::centralHeader(e);
  ASSERT_EQ(h.size(), 47u);
  EXPECT_EQ(le32(h, 0), 0x02014B50u);
  EXPECT_EQ(le16(h, 4), 20);
  EXPECT_EQ(le16(h, 6), 20);
  EXPECT_EQ(le16(h, 8), 0x0800);
  EXPECT_EQ(le16(h, 12), 0x70B0);
  EXPECT_EQ(le16(h, 14), 0x5C67);
  EXPECT_EQ(le32(h, 16), 7u);
  EXPECT_EQ(le32(h, 20), 0xFFFFFFFFu);
  EXPECT_EQ(le32(h, 24), 0xFFFFFFFFu);
  EXPECT_EQ(le16(h, 28), 1);
  for (size_t at = 30; at < 42; ++at) EXPECT_EQ(h[at], 0) << at;
  EXPECT_EQ(le32(h, 42), 0x12345678u);
  EXPECT_EQ(h.substr(46), "a");

  std::string end = files::endRecord(65537, 100, 200);
  ASSERT_EQ(end.size(), 22u);
  EXPECT_EQ(le32(end, 0), 0x06054B50u);
  EXPECT_EQ(le32(end, 4), 0u);
  EXPECT_EQ(le16(end, 8), 1);  // the low 16 bits of the count
  EXPECT_EQ(le16(end, 10), 1);
  EXPECT_EQ(le32(end, 12), 100u);
  EXPECT_EQ(le32(end, 16), 200u);
  EXPECT_EQ(le16(end, 20), 0);
}

TEST(ZipLayout, OffsetsAndTotalFollowTheRecords) {
  std::vector<files::ZipEntry> entries = {entry("ab", 1, 10), entry("c", 2, 0), entry("defg", 3, 5)};
  files::ZipLayout z = files::layoutZip(entries);
  EXPECT_EQ(entries[0].offset, 0u);
  EXPECT_EQ(entries[1].offset, 30u + 2 + 10);
  EXPECT_EQ(entries[2].offset, 42u + 30 + 1);
  EXPECT_EQ(z.centralOffset, 73u + 30 + 4 + 5);
  EXPECT_EQ(z.centralSize, 3u * 46 + 2 + 1 + 4);
  EXPECT_EQ(z.total, z.centralOffset + z.centralSize + 22);
}

TEST(ZipLayout, SizeLimits) {
  const uint64_t G4 = files::kZipLimit;
  uint64_t total = 0;
  std::string error;
  EXPECT_TRUE(files::checkZipSizes({}, total, error));
  EXPECT_EQ(total, 0u);
  EXPECT_TRUE(files::checkZipSizes({G4 - 2, 1}, total, error));
  EXPECT_EQ(total, G4 - 1);

  EXPECT_FALSE(files::checkZipSizes({G4 + 1}, total, error));
  EXPECT_EQ(error, "A selected file is larger than the ZIP limit (4 GB).");
  // A single file of exactly 4 GiB passes the per-file test, not the sum.
  EXPECT_FALSE(files::checkZipSizes({G4}, total, error));
  EXPECT_EQ(error, "Selected files exceed the ZIP limit (4 GB).");
  EXPECT_FALSE(files::checkZipSizes({G4 - 1, 1}, total, error));
  EXPECT_EQ(error, "Selected files exceed the ZIP limit (4 GB).");
  EXPECT_FALSE(files::checkZipSizes({G4 / 2 + 1, G4 / 2 + 1}, total, error));
  EXPECT_EQ(error, "Selected files exceed the ZIP limit (4 GB).");
  EXPECT_FALSE(files::checkZipSizes({3, UINT64_MAX - 1}, total, error));
  EXPECT_EQ(error, "A selected file is larger than the ZIP limit (4 GB).");
}

TEST(ZipLayout, NamesAndCountMustFitSixteenBits) {
  std::string error;
  std::vector<files::ZipEntry> entries(65535, entry("a", 0, 0));
  entries[0].name = std::string(65535, 'n');
  EXPECT_TRUE(files::checkZipEntries(entries, error));
  entries[0].name += 'n';
  EXPECT_FALSE(files::checkZipEntries(entries, error));
  EXPECT_EQ(error, "A file name is too long for a ZIP archive.");
  entries[0].name = "a";
  entries.push_back(entry("b", 0, 0));
  EXPECT_FALSE(files::checkZipEntries(entries, error));
  EXPECT_EQ(error, "Too many files for one ZIP (65535 at most). Please reduce selection.");
}

}  // namespace
