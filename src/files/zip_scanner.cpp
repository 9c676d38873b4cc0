#include "files/zip_scanner.h"

#include <memory>

#include "files/crc32.h"
#include "files/crc_cache.h"
#include "sys/fs.h"

namespace files {

namespace {

// Exactly size bytes of the file: bytes written past them after the sizes
// were taken are not part of the archive, a file that ends before them is
// a failure.
bool crcOfFile(const ZipScanFile& f, char* buffer, const std::atomic<bool>& stopping, ZipCrc& found) {
  sys::FileHandle h = sys::openForReading(f.path);
  if (h == sys::kNoFile) return false;
  found = ZipCrc{};
  if (!sys::fileVersion(h, found.version) || found.version.size < f.size) {
    sys::closeFile(h);
    return false;
  }
  // Only a CRC of the whole file is kept, so a file that grew is read.
  bool whole = found.version.size == f.size;
  if (whole && knownCrc(f.path, found.version, found.crc)) {
    sys::closeFile(h);
    found.steady = true;
    return true;
  }
  uint64_t left = f.size;
  while (left > 0 && !stopping) {
    long long n = sys::readFromFile(h, buffer, left < kZipScanPiece ? (size_t)left : kZipScanPiece);
    if (n <= 0) break;
    found.crc = crc32Update(found.crc, buffer, (size_t)n);
    left -= (uint64_t)n;
  }
  sys::FileVersion after;
  found.steady = sys::fileVersion(h, after) && after == found.version;
  sys::closeFile(h);
  if (left != 0) return false;
  if (found.steady && whole) rememberCrc(f.path, found.version, found.crc);
  return true;
}

bool mayScan(const ZipScan& s) {
  return s.stopping || (s.scanned - s.taken < s.limits.files && s.bytesAhead < s.limits.bytes);
}

void scanMain(ZipScan* s) {
  try {
    std::unique_ptr<char[]> buffer(new char[kZipScanPiece]);
    for (size_t i = 0; i < s->files.size(); ++i) {
      {
        std::unique_lock<std::mutex> lock(s->mutex);
        s->changed.wait(lock, [s] { return mayScan(*s); });
        if (s->stopping) return;
      }
      ZipCrc crc;
      bool ok = crcOfFile(s->files[i], buffer.get(), s->stopping, crc);
      std::lock_guard<std::mutex> lock(s->mutex);
      if (ok) {
        s->crcs.push_back(crc);
        s->scanned++;
        s->bytesAhead += s->files[i].size;
      } else {
        s->failed = true;
      }
      s->changed.notify_all();
      if (!ok) return;
    }
  } catch (...) {
    // Out of memory: the file the sender waits for counts as unreadable.
    std::lock_guard<std::mutex> lock(s->mutex);
    s->failed = true;
    s->changed.notify_all();
  }
}

}  // namespace

void startZipScan(ZipScan& scan, std::vector<ZipScanFile> files, ZipScanLimits limits) {
  scan.files = std::move(files);
  scan.limits = limits;
  scan.crcs.reserve(scan.files.size());
  try {
    scan.thread = std::thread(scanMain, &scan);
  } catch (...) {
  }
}

bool takeZipCrc(ZipScan& scan, size_t i, ZipCrc& crc) {
  if (!scan.thread.joinable()) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kZipScanPiece]);
    return buffer && crcOfFile(scan.files[i], buffer.get(), scan.stopping, crc);
  }
  std::unique_lock<std::mutex> lock(scan.mutex);
  scan.changed.wait(lock, [&] { return scan.scanned > i || scan.failed; });
  if (scan.scanned <= i) return false;
  crc = scan.crcs[i];
  scan.taken = i + 1;
  scan.bytesAhead -= scan.files[i].size;
  scan.changed.notify_all();
  return true;
}

void stopZipScan(ZipScan& scan) {
  {
    std::lock_guard<std::mutex> lock(scan.mutex);
    scan.stopping = true;
    scan.changed.notify_all();
  }
  if (scan.thread.joinable()) scan.thread.join();
}

}  // namespace files
