// POST /api/zip: the selected files of one folder as one stored ZIP archive.
// The sizes are taken first, so the exact length is known and the head goes
// out at once; a scan thread reads each file's CRC ahead of the send (a local
// header needs it before the file's data), unless it is known for the file's
// version, and the send reads the file again. Small files are read once, by
// the send. Memory stays at two buffers whatever the selection.
#include <memory>
#include <vector>

#include "core/event_log.h"
#include "files/crc32.h"
#include "files/file_routes.h"
#include "files/paths.h"
#include "files/selection.h"
#include "files/zip_layout.h"
#include "files/zip_scanner.h"
#include "http/response.h"
#include "http/router.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

namespace {

// Reads of this size stay in the processor's cache between the read and the
// send.
constexpr size_t kZipBuffer = 262144;

struct ZipSource {
  std::string path;  // on disk
  std::string name;  // in the archive
  bool isFile = false;     // found by the precheck, and no folder
  sys::FileStatus status;  // as the precheck found it
};

// The status of every source is taken once: the precheck counts the sizes
// before anything is opened, and the entries take their times from it.
bool zipPrecheck(std::vector<ZipSource>& sources, uint64_t& total, std::string& error) {
  std::vector<uint64_t> sizes;
  for (ZipSource& s : sources) {
    s.isFile = sys::fileStatus(s.path, s.status) && !s.status.isFolder;
    if (s.isFile) sizes.push_back(s.status.size);
  }
  return checkZipSizes(sizes, total, error);
}

// Whether one source goes into the archive (it exists, is no folder and can
// be opened), with the size it has at opening and its time. The archive
// holds that many bytes of it.
bool entryOf(const ZipSource& s, ZipEntry& e) {
  if (!s.isFile) return false;
  uint64_t size = 0;
  sys::FileHandle f = sys::openForReading(s.path, &size);
  if (f == sys::kNoFile) return false;
  sys::closeFile(f);
  e.name = s.name;
  e.size = size;
  const sys::CalendarTime& t = s.status.modifiedLocal;
  e.dosDate = dosDate(t.year, t.month, t.day);
  e.dosTime = dosTime(t.hour, t.minute, t.second);
  return true;
}

// The send side: small records and file data are gathered in one buffer
// and go out in large writes.
struct ZipSender {
  http::Connection& c;
  char* buffer;
  size_t used = 0;
  bool ok = true;
};

void flush(ZipSender& z) {
  if (z.ok && z.used > 0) z.ok = http::sendAll(z.c, z.buffer, z.used);
  z.used = 0;
}

void put(ZipSender& z, const std::string& bytes) {
  if (z.used + bytes.size() > kZipBuffer) flush(z);
  if (bytes.size() > kZipBuffer) {
    if (z.ok) z.ok = http::sendAll(z.c, bytes.data(), bytes.size());
    return;
  }
  std::copy(bytes.begin(), bytes.end(), z.buffer + z.used);
  z.used += bytes.size();
}

// Reads the file again from its start: the CRC of its first size bytes, or
// false when it has fewer.
bool crcAgain(ZipSender& z, sys::FileHandle f, uint64_t size, uint32_t& crc) {
  flush(z);
  if (!sys::seekFile(f, 0)) return false;
  crc = 0;
  for (uint64_t left = size; left > 0;) {
    long long n = sys::readFromFile(f, z.buffer, left < kZipBuffer ? (size_t)left : kZipBuffer);
    if (n <= 0) return false;
    crc = crc32Update(crc, z.buffer, (size_t)n);
    left -= (uint64_t)n;
  }
  return true;
}

// The data of one file: exactly the bytes its entry counts. A file that is
// still the version its CRC was found on goes out as it is read. Otherwise
// the bytes sent are checked against the CRC (as they go, or, when the file
// changed while it was sent, by reading them again), so that a file that
// only grew still goes in, and one whose counted bytes changed ends the
// archive instead of going out with a wrong CRC.
bool sendFileData(ZipSender& z, const std::string& path, const ZipEntry& e, const ZipCrc& known) {
  sys::FileHandle f = sys::openForReading(path);
  if (f == sys::kNoFile) return false;
  sys::FileVersion version;
  bool checkAsSent = !known.steady || !sys::fileVersion(f, version) || !(version == known.version);
  uint64_t left = e.size;
  uint32_t crc = 0;
  while (left > 0 && z.ok) {
    if (z.used == kZipBuffer) flush(z);
    size_t room = kZipBuffer - z.used;
    size_t want = left < room ? (size_t)left : room;
    long long n = sys::readFromFile(f, z.buffer + z.used, want);
    if (n <= 0) break;
    if (checkAsSent) crc = crc32Update(crc, z.buffer + z.used, (size_t)n);
    z.used += (size_t)n;
    left -= (uint64_t)n;
  }
  bool sent = left == 0 && z.ok;
  if (sent && !checkAsSent && !(sys::fileVersion(f, version) && version == known.version))
    sent = crcAgain(z, f, e.size, crc) && crc == e.crc;
  else if (sent && checkAsSent)
    sent = crc == e.crc;
  sys::closeFile(f);
  return sent;
}

// A file whose local header and data fit the buffer together is read once,
// here: its data goes in behind room for the header, and the header follows
// in front of it once the CRC is known. The scan leaves such files alone.
bool fitsBuffer(const ZipEntry& e) { return kLocalHeaderBytes + e.name.size() + e.size <= kZipBuffer; }

bool sendSmallFile(ZipSender& z, const std::string& path, ZipEntry& e) {
  size_t headerBytes = kLocalHeaderBytes + e.name.size();
  if (z.used + headerBytes + e.size > kZipBuffer) flush(z);
  sys::FileHandle f = sys::openForReading(path);
  if (f == sys::kNoFile) return false;
  char* data = z.buffer + z.used + headerBytes;
  uint64_t got = 0;
  while (got < e.size) {
    long long n = sys::readFromFile(f, data + got, (size_t)(e.size - got));
    if (n <= 0) break;
    got += (uint64_t)n;
  }
  sys::closeFile(f);
  if (got < e.size) return false;
  e.crc = crc32(data, (size_t)e.size);
  std::string header = localHeader(e);
  std::copy(header.begin(), header.end(), z.buffer + z.used);
  z.used += headerBytes + (size_t)e.size;
  return true;
}

// The files the selection names, in its order; names that are not plain
// names, or that are the web root itself, are left out.
std::vector<ZipSource> sourcesOf(const Selection& selection) {
  // Entry names are the files' clean paths below the web root, whatever
  // spelling of the folder the client sent.
  std::vector<ZipSource> sources;
  for (const std::string& name : selection.names) {
    if (!isPlainName(name)) continue;
    ZipSource s;
    s.path = sys::joinPath(selection.folder, name);
    s.name = clientPathOf(s.path);
    if (!s.name.empty()) sources.push_back(std::move(s));
  }
  return sources;
}

// The entries of every source, then the checks the archive must pass; on
// failure it has answered.
bool layoutOrReply(http::Connection& c, std::vector<ZipSource>& sources, std::vector<ZipEntry>& entries,
                   std::vector<std::string>& paths, ZipLayout& layout) {
  uint64_t total = 0;
  std::string error;
  if (!zipPrecheck(sources, total, error)) {
    http::sendJson(c, 413, http::jsonError(error));
    return false;
  }
  core::logEvent("ZIP     precheck ok total=" + std::to_string(total) + " bytes");
  for (const ZipSource& s : sources) {
    ZipEntry e;
    if (!entryOf(s, e)) continue;
    entries.push_back(std::move(e));
    paths.push_back(s.path);
  }
  if (entries.empty()) {
    http::sendJson(c, 400, http::jsonError("No readable files to zip."));
    return false;
  }
  if (!checkZipEntries(entries, error)) {
    http::sendJson(c, 413, http::jsonError(error));
    return false;
  }
  layout = layoutZip(entries);
  if (layout.total >= kZipLimit) {
    http::sendJson(c, 413, http::jsonError("ZIP would exceed 4 GB. Please reduce selection."));
    return false;
  }
  return true;
}

// Head, entries, central directory. A file that cannot be read to its size,
// or changed between the scan and the send, ends the connection short, so
// the client knows the archive is incomplete.
void streamArchive(http::Connection& c, char* buffer, ZipScan& scan, std::vector<ZipEntry>& entries,
                   const std::vector<std::string>& paths, const ZipLayout& layout) {
  ZipSender z{c, buffer};
  put(z, http::responseHead(200, "OK", "application/zip", layout.total,
                            {{"Content-Disposition", "attachment; filename=\"download.zip\""}}));
  flush(z);
  size_t scanned = 0;  // files taken from the scan
  for (size_t i = 0; i < entries.size() && z.ok; ++i) {
    bool sent;
    if (fitsBuffer(entries[i])) {
      sent = sendSmallFile(z, paths[i], entries[i]);
    } else {
      ZipCrc known;
      sent = takeZipCrc(scan, scanned++, known);
      if (sent) {
        entries[i].crc = known.crc;
        put(z, localHeader(entries[i]));
        sent = sendFileData(z, paths[i], entries[i], known);
      }
    }
    if (!sent && z.ok) {
      flush(z);
      core::logEvent("ZIP     failed: " + paths[i]);
      return;
    }
  }
  for (const ZipEntry& e : entries) put(z, centralHeader(e));
  put(z, endRecord(entries.size(), layout.centralSize, layout.centralOffset));
  flush(z);
}

}  // namespace

void handleZip(http::Connection& c, const http::HttpRequest& r) {
  Selection selection;
  if (!readSelectionOrReply(c, r, selection)) return;
  std::vector<ZipEntry> entries;
  std::vector<std::string> paths;
  ZipLayout layout;
  std::vector<ZipSource> sources = sourcesOf(selection);
  if (!layoutOrReply(c, sources, entries, paths, layout)) return;
  core::logEvent("ZIP     created (" + std::to_string(layout.total) + " bytes) for " +
                 std::to_string(selection.names.size()) + " file(s)");
  std::unique_ptr<char[]> buffer(new char[kZipBuffer]);
  std::vector<ZipScanFile> files;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!fitsBuffer(entries[i])) files.push_back({paths[i], entries[i].size});
  ZipScan scan;
  struct StopOnExit {
    ZipScan& scan;
    ~StopOnExit() { stopZipScan(scan); }
  } guard{scan};
  startZipScan(scan, std::move(files));
  streamArchive(c, buffer.get(), scan, entries, paths, layout);
}

}  // namespace files
