#include <windows.h>

#include "sys/file_write.h"
#include "sys/folders.h"
#include "sys/text.h"

namespace sys {

bool createTempFile(const std::string& folder, TempFile& f) {
  for (int i = 0; i < kTempNameAttempts; ++i) {
    std::string path = joinPath(folder, nextTempFileName());
    // Readers and deleters may share it, as with every file the server serves.
    HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      f.handle = (std::intptr_t)h;
      f.path = path;
      return true;
    }
    DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool writeTempFile(TempFile& f, const void* data, size_t size) {
  const char* p = (const char*)data;
  while (size > 0) {
    DWORD piece = size > 0x40000000 ? 0x40000000 : (DWORD)size;
    DWORD written = 0;
    if (!WriteFile((HANDLE)f.handle, p, piece, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

bool commitTempFile(TempFile& f, const std::string& finalPath) {
  std::wstring temp = toWide(f.path);
  bool ok = CloseHandle((HANDLE)f.handle) != FALSE;
  f.handle = -1;
  if (ok && MoveFileExW(temp.c_str(), toWide(finalPath).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(temp.c_str());
  return false;
}

void discardTempFile(TempFile& f) {
  if (f.handle == -1) return;
  CloseHandle((HANDLE)f.handle);
  f.handle = -1;
  DeleteFileW(toWide(f.path).c_str());
}

}  // namespace sys
