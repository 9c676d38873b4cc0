#include "files/zip_scanner.h"

#include <gtest/gtest.h>

#include "files/crc32.h"
#include "support/temp_dir.h"
#include "sys/entry_move.h"
#include "sys/file_io.h"
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
    files::ZipCrc crc;
    ASSERT_TRUE(files::takeZipCrc(scan, 0, crc));
    EXPECT_EQ(crc.crc, crcOf(bodies[0]));
    test::writeFile(list[2].path, bodies[2] + " longer");
    test::writeFile(list[3].path, std::string(1000, 'R'));
    test::writeFile(list[4].path, "short");
    {
      std::lock_guard<std::mutex> lock(scan.mutex);
      EXPECT_LE(scan.scanned, 2u) << "ran ahead of the limits";
    }
    ASSERT_TRUE(files::takeZipCrc(scan, 1, crc));
    EXPECT_EQ(crc.crc, crcOf(bodies[1]));
    ASSERT_TRUE(files::takeZipCrc(scan, 2, crc));
    EXPECT_EQ(crc.crc, crcOf(bodies[2])) << "the archive holds the size taken at the start";
    ASSERT_TRUE(files::takeZipCrc(scan, 3, crc));
    EXPECT_EQ(crc.crc, crcOf(std::string(1000, 'R')));
    EXPECT_FALSE(files::takeZipCrc(scan, 4, crc)) << "a file that shrank";
    EXPECT_FALSE(files::takeZipCrc(scan, 5, crc)) << "the scan ends at the first failure";
    files::stopZipScan(scan);

    // A second scan knows the CRCs of files it read whole and steady, and
    // only for the version they were read at: a file of the same size put
    // in its place (made before the old one goes, so it is another file
    // whatever the clock) is read again.
    std::string swapped = list[1].path + ".new";
    test::writeFile(swapped, std::string(files::kZipScanPiece * 2 + 3, 'c'));
    ASSERT_TRUE(sys::deleteFile(list[1].path));
    ASSERT_EQ(sys::renameNoReplace(swapped, list[1].path), sys::Renamed::Done);
    files::ZipScan again;
    files::startZipScan(again, list, limits);
    ASSERT_TRUE(files::takeZipCrc(again, 0, crc));
    EXPECT_EQ(crc.crc, crcOf(bodies[0]));
    EXPECT_TRUE(crc.steady);
    ASSERT_TRUE(files::takeZipCrc(again, 1, crc));
    EXPECT_EQ(crc.crc, crcOf(std::string(files::kZipScanPiece * 2 + 3, 'c')));
    files::stopZipScan(again);

    // Stopping does not wait for files nobody takes.
    files::ZipScan untaken;
    files::startZipScan(untaken, list, limits);
    files::stopZipScan(untaken);
  }
}

}  // namespace
