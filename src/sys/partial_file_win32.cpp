#include <windows.h>

#include "sys/partial_file.h"
#include "sys/text.h"

namespace sys {

bool createPartialFile(const std::string& path) {
  HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  return CloseHandle(h) != FALSE;
}

FileHandle openPartialForAppend(const std::string& path, uint64_t& size) {
  HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kNoFile;
  LARGE_INTEGER length, zero;
  zero.QuadPart = 0;
  if (!GetFileSizeEx(h, &length) || !SetFilePointerEx(h, zero, nullptr, FILE_END)) {
    CloseHandle(h);
    return kNoFile;
  }
  size = (uint64_t)length.QuadPart;
  return (FileHandle)h;
}

bool appendToPartial(FileHandle f, const void* data, size_t size) {
  const char* p = (const char*)data;
  while (size > 0) {
    DWORD piece = size > 0x40000000 ? 0x40000000 : (DWORD)size;
    DWORD written = 0;
    if (!WriteFile((HANDLE)f, p, piece, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

Placed placePartialFile(const std::string& partialPath, const std::string& finalPath, bool replace) {
  std::wstring from = toWide(partialPath);
  // The finished file is an ordinary one; the attribute would travel with it.
  SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (MoveFileExW(from.c_str(), toWide(finalPath).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
    return Placed::Done;
  DWORD e = GetLastError();
  SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_HIDDEN);
  return !replace && (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) ? Placed::NameTaken : Placed::Failed;
}

}  // namespace sys
