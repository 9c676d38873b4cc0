#include <windows.h>

#include <cwchar>

#include "sys/fs.h"
#include "sys/folders.h"
#include "sys/text.h"

namespace sys {

namespace {
constexpr DWORD kFullPathBuffer = 260;

uint64_t unixSeconds(const FILETIME& t) {
  // FILETIME counts 100 ns steps since 1601-01-01.
  const uint64_t kUnixEpoch = 116444736000000000ULL;
  uint64_t ticks = ((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime;
  return ticks < kUnixEpoch ? 0 : (ticks - kUnixEpoch) / 10000000ULL;
}

// CreateDirectoryW without the "\\?\" prefix: MAX_PATH less an 8.3 name (12)
// and the NUL.
constexpr size_t kMaxFolderPath = 247;

// Embedded NULs would cut the path short inside the system's calls.
bool wideArg(const std::string& path, std::wstring& w) {
  if (path.find('\0') != std::string::npos) return false;
  w = toWide(path);
  return true;
}
}  // namespace

const size_t kMaxFullPath = kFullPathBuffer - 1;
const bool kWindowsFileNames = true;

std::string fullPath(const std::string& path) {
  std::wstring w;
  if (path.empty() || !wideArg(path, w)) return {};
  wchar_t buffer[kFullPathBuffer] = {};
  DWORD n = GetFullPathNameW(w.c_str(), kFullPathBuffer, buffer, nullptr);
  if (n == 0 || n >= kFullPathBuffer) return {};
  return toUtf8(std::wstring(buffer, n));
}

bool folderPathFits(const std::string& path) {
  std::string full = fullPath(path);
  return !full.empty() && toWide(full).size() <= kMaxFolderPath;
}

bool hasPathPrefix(const std::string& path, const std::string& prefix) {
  std::wstring p = toWide(path), q = toWide(prefix);
  return p.size() >= q.size() && _wcsnicmp(p.c_str(), q.c_str(), q.size()) == 0;
}

PathKind pathKind(const std::string& path) {
  std::wstring w;
  if (!wideArg(path, w)) return PathKind::Missing;
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::wstring pattern;
  if (!wideArg(folder, pattern)) return false;
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    FolderEntry e;
    e.name = toUtf8(fd.cFileName);
    e.isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!e.isFolder) e.size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    e.modified = unixSeconds(fd.ftLastWriteTime);
    // Enumeration does not tell a file with other names from one with a
    // single name, so those pass as files that change here only.
    e.changesElsewhere = e.isFolder || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

bool entryStatus(const std::string& folder, const std::string& name, FolderEntry& entry) {
  std::wstring w;
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!wideArg(joinPath(folder, name), w) || !GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &a)) return false;
  entry.name = name;
  entry.isFolder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.size = entry.isFolder ? 0 : ((uint64_t)a.nFileSizeHigh << 32) | a.nFileSizeLow;
  entry.modified = unixSeconds(a.ftLastWriteTime);
  entry.changesElsewhere = entry.isFolder || (a.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return true;
}

FileHandle openForReading(const std::string& path, uint64_t* sizeAtOpen) {
  std::wstring w;
  if (!wideArg(path, w)) return kNoFile;
  HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kNoFile;
  LARGE_INTEGER li;
  if (sizeAtOpen) {
    if (!GetFileSizeEx(h, &li)) {
      CloseHandle(h);
      return kNoFile;
    }
    *sizeAtOpen = (uint64_t)li.QuadPart;
  }
  return (FileHandle)h;
}

bool fileSize(FileHandle f, uint64_t& size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx((HANDLE)f, &li)) return false;
  size = (uint64_t)li.QuadPart;
  return true;
}

bool fileModifiedSeconds(FileHandle f, uint64_t& seconds) {
  FILETIME written;
  if (!GetFileTime((HANDLE)f, nullptr, nullptr, &written)) return false;
  seconds = unixSeconds(written);
  return true;
}

bool fileVersion(FileHandle f, FileVersion& version) {
  BY_HANDLE_FILE_INFORMATION info;
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandle((HANDLE)f, &info)) return false;
  if (!GetFileInformationByHandleEx((HANDLE)f, FileBasicInfo, &basic, sizeof basic)) return false;
  version.volume = info.dwVolumeSerialNumber;
  version.index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
  version.size = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
  version.written = basic.LastWriteTime.QuadPart;
  version.changed = basic.ChangeTime.QuadPart;
  return true;
}

bool seekFile(FileHandle f, uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = (LONGLONG)offset;
  return offset <= (uint64_t)INT64_MAX && SetFilePointerEx((HANDLE)f, to, nullptr, FILE_BEGIN) != 0;
}

long long readFromFile(FileHandle f, void* buffer, size_t capacity) {
  DWORD want = capacity > 0x40000000 ? 0x40000000 : (DWORD)capacity;
  DWORD got = 0;
  if (!ReadFile((HANDLE)f, buffer, want, &got, nullptr)) return -1;
  return got;
}

void closeFile(FileHandle f) {
  if (f != kNoFile) CloseHandle((HANDLE)f);
}

bool removeEmptyFolder(const std::string& path) {
  std::wstring w;
  return wideArg(path, w) && RemoveDirectoryW(w.c_str()) != FALSE;
}

// ---- For the ZIP download ----

bool fileStatus(const std::string& path, FileStatus& status) {
  std::wstring w;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!wideArg(path, w) || !GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &data)) return false;
  status.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.size = status.isFolder ? 0 : ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
  FILETIME local;
  SYSTEMTIME t;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &t)) return false;
  status.modifiedLocal = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek};
  return true;
}

}  // namespace sys
