#include "files/upload.h"

#include <cstring>
#include <memory>

#include "core/event_log.h"
#include "files/names.h"
#include "sys/file_write.h"
#include "sys/folders.h"

namespace files {

bool fillBuffer(UploadReader& reader, MultipartParser& parser) {
  if (reader.bytesRead >= reader.declared) {
    parser.inputEnded = true;
    return true;
  }
  uint64_t left = reader.declared - reader.bytesRead;
  int want = left < (uint64_t)kUploadReadPiece ? (int)left : kUploadReadPiece;
  int got = reader.read(multipartSpace(parser, (size_t)want), want);
  if (got <= 0) {
    reader.error = "Upload aborted";
    return false;
  }
  multipartCommit(parser, (size_t)got);
  reader.bytesRead += (uint64_t)got;
  return true;
}

namespace {

// File data arrives in pieces of one read (16 KiB records over TLS); it is
// gathered here so the disk sees large writes.
struct WriteBuffer {
  std::unique_ptr<char[]> bytes{new char[kUploadWriteBuffer]};
  size_t used = 0;
};

bool flushTo(sys::TempFile& file, WriteBuffer& w) {
  bool ok = w.used == 0 || sys::writeTempFile(file, w.bytes.get(), w.used);
  w.used = 0;
  return ok;
}

bool bufferedWrite(sys::TempFile& file, WriteBuffer& w, const char* data, size_t size) {
  if (w.used + size > kUploadWriteBuffer && !flushTo(file, w)) return false;
  if (size >= kUploadWriteBuffer) return sys::writeTempFile(file, data, size);
  std::memcpy(w.bytes.get() + w.used, data, size);
  w.used += size;
  return true;
}

}  // namespace

bool receiveMultipart(const ReadFn& read, const std::string& bodyPrefix, const std::string& folder,
                      const std::string& boundary, uint64_t declared, std::string& error) {
  error.clear();
  if (!sys::pathExists(folder)) sys::createDirectories(folder);

  MultipartParser parser;
  startMultipart(parser, boundary);
  UploadReader reader;
  reader.read = read;
  reader.declared = declared;
  // Bytes past the declared body belong to nobody.
  reader.bytesRead = bodyPrefix.size() < declared ? bodyPrefix.size() : declared;
  multipartFeed(parser, bodyPrefix.data(), (size_t)reader.bytesRead);

  sys::TempFile file;
  WriteBuffer pending;
  std::string finalPath;
  for (;;) {
    switch (nextPartEvent(parser)) {
      case PartEvent::NeedMore:
        if (fillBuffer(reader, parser)) continue;
        error = reader.error;
        break;
      case PartEvent::FileStart:
        finalPath = sys::joinPath(folder, sanitizeUploadName(parser.fileName));
        if (sys::createTempFile(folder, file)) {
          core::logEvent("UPLOAD  " + finalPath);
          continue;
        }
        error = "Failed to write file";
        break;
      case PartEvent::FileData:
        if (bufferedWrite(file, pending, parser.data, parser.dataSize)) continue;
        error = "Failed to write file";
        break;
      case PartEvent::FileEnd:
        if (!flushTo(file, pending)) {
          error = "Failed to write file";
          break;
        }
        if (sys::commitTempFile(file, finalPath)) continue;
        error = "Failed to write file";
        break;
      case PartEvent::Finished:
        return true;
      case PartEvent::Failed:
        error = parser.error;
        break;
    }
    sys::discardTempFile(file);
    return false;
  }
}

}  // namespace files
