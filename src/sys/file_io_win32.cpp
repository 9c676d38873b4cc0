#include <windows.h>

#include "sys/file_io.h"
#include "sys/text.h"

namespace sys {

bool appendToPrivateFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileW(toWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
  CloseHandle(h);
  return ok;
}

bool deleteFile(const std::string& path) { return DeleteFileW(toWide(path).c_str()) != FALSE; }

bool renameReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool fileSizeAt(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &a)) return false;
  size = (uint64_t)a.nFileSizeHigh << 32 | a.nFileSizeLow;
  return true;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
  ok = CloseHandle(h) && ok;
  return ok;
}

bool readSmallFile(const std::string& path, std::string& bytes, size_t maxBytes) {
  HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buf[4096];
  while (bytes.size() < maxBytes) {
    DWORD want = (DWORD)(maxBytes - bytes.size() < sizeof buf ? maxBytes - bytes.size() : sizeof buf);
    DWORD got = 0;
    if (!ReadFile(h, buf, want, &got, nullptr) || got == 0) break;
    bytes.append(buf, got);
  }
  CloseHandle(h);
  return true;
}

bool isRegularFile(const std::string& path) {
  DWORD a = GetFileAttributesW(toWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace sys
