// POST /api/zip: the selected files of one folder as one stored ZIP archive.
// The archive is streamed: a first pass over the files takes each one's CRC
// and size, so the exact length is known and announced; a second pass sends
// headers and data. Memory stays at one buffer whatever the selection.
#include <memory>
#include <vector>

#include "core/event_log.h"
#include "files/crc32.h"
#include "files/file_routes.h"
#include "files/paths.h"
#include "files/selection.h"
#include "files/zip_layout.h"
#include "http/response.h"
#include "http/router.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

namespace {

constexpr size_t kZipBuffer = 1048576;

struct ZipSource {
  std::string path;  // on disk
  std::string name;  // in the archive
};

bool zipPrecheck(const std::vector<ZipSource>& sources, uint64_t& total, std::string& error) {
  std::vector<uint64_t> sizes;
  for (const ZipSource& s : sources) {
    sys::FileStatus st;
    if (sys::fileStatus(s.path, st) && !st.isFolder) sizes.push_back(st.size);
  }
  return checkZipSizes(sizes, total, error);
}

// First pass over one source: false when it is to be left out (missing, a
// folder, unreadable). Reads the size it finds at opening, as a whole-file
// read would, so a file that keeps growing cannot hold the pass.
bool scanSource(const ZipSource& s, char* buffer, ZipEntry& e) {
  sys::FileStatus st;
  if (!sys::fileStatus(s.path, st) || st.isFolder) return false;
  sys::FileHandle f = sys::openForReading(s.path);
  if (f == sys::kNoFile) return false;
  uint64_t size = 0;
  bool ok = sys::fileSize(f, size);
  uint64_t got = 0;
  uint32_t crc = 0;
  while (ok && got < size) {
    uint64_t want = size - got < kZipBuffer ? size - got : kZipBuffer;
    long long n = sys::readFromFile(f, buffer, (size_t)want);
    if (n < 0) ok = false;
    if (n <= 0) break;
    crc = crc32Update(crc, buffer, (size_t)n);
    got += (uint64_t)n;
  }
  sys::closeFile(f);
  if (!ok) return false;
  e.name = s.name;
  e.crc = crc;
  e.size = got;
  const sys::CalendarTime& t = st.modifiedLocal;
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

// Second pass over one file: exactly the bytes the first pass counted, and
// with the same CRC; anything else means the file changed in between.
bool sendFileData(ZipSender& z, const std::string& path, const ZipEntry& e) {
  sys::FileHandle f = sys::openForReading(path);
  if (f == sys::kNoFile) return false;
  uint64_t left = e.size;
  uint32_t crc = 0;
  while (left > 0 && z.ok) {
    if (z.used == kZipBuffer) flush(z);
    size_t room = kZipBuffer - z.used;
    size_t want = left < room ? (size_t)left : room;
    long long n = sys::readFromFile(f, z.buffer + z.used, want);
    if (n <= 0) break;
    crc = crc32Update(crc, z.buffer + z.used, (size_t)n);
    z.used += (size_t)n;
    left -= (uint64_t)n;
  }
  sys::closeFile(f);
  return left == 0 && crc == e.crc;
}

// The files the selection names, in its order; names that are not plain
// names, or that are the web root itself, are left out.
std::vector<ZipSource> sourcesOf(const Selection& selection) {
  // Entry names are the files' clean paths below the web root, whatever
  // spelling of the folder the client sent.
  std::vector<ZipSource> sources;
  for (const std::string& name : selection.names) {
    if (!isPlainName(name)) continue;
    std::string path = sys::joinPath(selection.folder, name);
    std::string entryName = clientPathOf(path);
    if (!entryName.empty()) sources.push_back({path, entryName});
  }
  return sources;
}

// The first pass over every source, then the checks the archive must pass;
// on failure it has answered.
bool scanOrReply(http::Connection& c, const std::vector<ZipSource>& sources, char* buffer,
                 std::vector<ZipEntry>& entries, std::vector<std::string>& paths, ZipLayout& layout) {
  uint64_t total = 0;
  std::string error;
  if (!zipPrecheck(sources, total, error)) {
    http::sendJson(c, 413, http::jsonError(error));
    return false;
  }
  core::logEvent("ZIP     precheck ok total=" + std::to_string(total) + " bytes");
  for (const ZipSource& s : sources) {
    ZipEntry e;
    if (!scanSource(s, buffer, e)) continue;
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

// The second pass: head, entries, central directory. A file that changed
// since the first pass ends the connection short, so the client knows the
// archive is incomplete.
void streamArchive(http::Connection& c, char* buffer, const std::vector<ZipEntry>& entries,
                   const std::vector<std::string>& paths, const ZipLayout& layout) {
  ZipSender z{c, buffer};
  put(z, http::responseHead(200, "OK", "application/zip", layout.total,
                            {{"Content-Disposition", "attachment; filename=\"download.zip\""}}));
  for (size_t i = 0; i < entries.size() && z.ok; ++i) {
    put(z, localHeader(entries[i]));
    if (!sendFileData(z, paths[i], entries[i]) && z.ok) {
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
  std::unique_ptr<char[]> buffer(new char[kZipBuffer]);
  std::vector<ZipEntry> entries;
  std::vector<std::string> paths;
  ZipLayout layout;
  if (!scanOrReply(c, sourcesOf(selection), buffer.get(), entries, paths, layout)) return;
  core::logEvent("ZIP     created (" + std::to_string(layout.total) + " bytes) for " +
                 std::to_string(selection.names.size()) + " file(s)");
  streamArchive(c, buffer.get(), entries, paths, layout);
}

}  // namespace files
