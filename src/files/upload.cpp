#include "files/upload.h"

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
  size_t fresh = 0;
  while (!reader.failed && fresh < (size_t)kUploadFill && reader.bytesRead < reader.declared) {
    uint64_t left = reader.declared - reader.bytesRead;
    size_t room = (size_t)kUploadFill - fresh;
    int want = left < room ? (int)left : (int)room;
    int got = reader.read(multipartSpace(parser, (size_t)want), want);
    if (got <= 0) {
      reader.failed = true;
      break;
    }
    multipartCommit(parser, (size_t)got);
    reader.bytesRead += (uint64_t)got;
    fresh += (size_t)got;
  }
  if (fresh > 0) return true;
  reader.error = "Upload aborted";
  return false;
}

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
        if (sys::writeTempFile(file, parser.data, parser.dataSize)) continue;
        error = "Failed to write file";
        break;
      case PartEvent::FileEnd:
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
