#include <windows.h>

#include "sys/file_times.h"
#include "sys/text.h"

namespace sys {

bool setFileModifiedMs(const std::string& path, uint64_t milliseconds) {
  HANDLE h = CreateFileW(toWide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);  // so that folders open too
  if (h == INVALID_HANDLE_VALUE) return false;
  // FILETIME counts 100 ns steps since 1601-01-01.
  uint64_t ticks = milliseconds * 10000ULL + 116444736000000000ULL;
  FILETIME written;
  written.dwLowDateTime = (DWORD)ticks;
  written.dwHighDateTime = (DWORD)(ticks >> 32);
  bool ok = SetFileTime(h, nullptr, nullptr, &written) != FALSE;
  CloseHandle(h);
  return ok;
}

}  // namespace sys
