#include "core/log_file.h"

#include "sys/file_io.h"

namespace core {

bool appendToLogFile(const std::string& path, const std::string& bytes, uint64_t rotateAt) {
  uint64_t size = 0;
  // Should the move fail (the file held open elsewhere on Windows), the file
  // grows on and the move is tried again with the next line.
  if (sys::fileSizeAt(path, size) && size > 0 && size + bytes.size() > rotateAt)
    sys::renameReplacing(path, path + ".1");
  return sys::appendToPrivateFile(path, bytes);
}

void deleteLogFiles(const std::string& path) {
  sys::deleteFile(path);
  sys::deleteFile(path + ".1");
}

}  // namespace core
