#include "files/zip_scanner.h"

#include <gtest/gtest.h>

#include "files/crc32.h"
#include "support/temp_dir.h"
#include "sys/folders.h"

namespace {

uint32_t crcOf(const std::string& s) { return files::crc32(s.data(), s.size()); }

// Files changed after the first one is taken are read as they are then:
// the scan may be at the second file by that time, never further.
TEST(ZipScan, CrcsInOrderNoFurtherAheadThanAllowedAndChangedFiles) {
  for (files::ZipScanLimits limits : {files::ZipScanLimits{1, 1ull << 40}, files::ZipScanLimits{100, 1}}) {
    test::TempDir dir;
    std::vector<std::string> bodies = {"first", std::string(files::kZipScanPiece * 2 + 3, 'b'), "grows",
                                       std::string(1000, 'r'), std::string(3000, 's'), ""};
    std::vector<files::ZipScanFile> list;
    for (size_t i = 0; i < bodies.size(); ++i) {
      list.push_back({sys::joinPath(dir.path, std::to_string(i) + ".bin"), bodies[i].size()});
      test::writeFile(list.back().path, bodies[i]);
    }
    files::ZipScan scan;
    files::startZipScan(scan, list, limits);
    uint32_t crc = 0;
    ASSERT_TRUE(files::takeZipCrc(scan, 0, crc));
    EXPECT_EQ(crc, crcOf(bodies[0]));
    test::writeFile(list[2].path, bodies[2] + " longer");
    test::writeFile(list[3].path, std::string(1000, 'R'));
    test::writeFile(list[4].path, "short");
    {
      std::lock_guard<std::mutex> lock(scan.mutex);
      EXPECT_LE(scan.scanned, 2u) << "ran ahead of the limits";
    }
    ASSERT_TRUE(files::takeZipCrc(scan, 1, crc));
    EXPECT_EQ(crc, crcOf(bodies[1]));
    ASSERT_TRUE(files::takeZipCrc(scan, 2, crc));
    EXPECT_EQ(crc, crcOf(bodies[2])) << "the archive holds the size taken at the start";
    ASSERT_TRUE(files::takeZipCrc(scan, 3, crc));
    EXPECT_EQ(crc, crcOf(std::string(1000, 'R')));
    EXPECT_FALSE(files::takeZipCrc(scan, 4, crc)) << "a file that shrank";
    EXPECT_FALSE(files::takeZipCrc(scan, 5, crc)) << "the scan ends at the first failure";
    files::stopZipScan(scan);

    // Stopping does not wait for files nobody takes.
    files::ZipScan untaken;
    files::startZipScan(untaken, list, limits);
    files::stopZipScan(untaken);
  }
}

}  // namespace
