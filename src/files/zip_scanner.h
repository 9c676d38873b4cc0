// The CRCs of a ZIP download's files, read by a thread of their own ahead
// of the send: each local header needs its file's CRC before the file's
// first byte goes out, so without the scan ahead every file would be read
// twice in turn. A file whose CRC is known for its version (crc_cache.h) is
// not read at all. The scan stays a bounded number of files and bytes ahead
// of what the sender has taken, and reads through one buffer.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sys/fs.h"

namespace files {

constexpr size_t kZipScanPiece = 262144;

struct ZipScanFile {
  std::string path;
  uint64_t size = 0;  // the bytes that go into the archive
};

// A file's CRC and the version of the file it is of. Not steady when the
// file changed while it was read: its first bytes may still be what the CRC
// says (a file that grows), but only reading them again can tell.
struct ZipCrc {
  uint32_t crc = 0;
  sys::FileVersion version;
  bool steady = false;
};

// How far the scan may run ahead: files scanned and not yet taken, and
// their bytes. The file the sender takes next is always scanned at once.
struct ZipScanLimits {
  size_t files = 256;
  uint64_t bytes = 64ull << 20;
};

struct ZipScan {
  std::vector<ZipScanFile> files;
  ZipScanLimits limits;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<ZipCrc> crcs;  // of files [0, scanned)
  size_t scanned = 0;
  size_t taken = 0;
  uint64_t bytesAhead = 0;  // of files [taken, scanned)
  bool failed = false;      // file `scanned` could not be read to its size
  std::atomic<bool> stopping{false};  // also looked at between reads
  std::thread thread;
};

// Starts the scan thread; when no thread can be had, takeZipCrc reads
// each file itself.
void startZipScan(ZipScan& scan, std::vector<ZipScanFile> files, ZipScanLimits limits = {});

// The CRC of file i, waiting for the scan; files are taken in order from 0.
// False when the file ended before its size or could not be read.
bool takeZipCrc(ZipScan& scan, size_t i, ZipCrc& crc);

// Ends the scan, wherever it is, and waits for its thread.
void stopZipScan(ZipScan& scan);

}  // namespace files
