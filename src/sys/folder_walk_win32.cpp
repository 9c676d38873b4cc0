#include <windows.h>

#include "sys/folder_walk.h"
#include "sys/text.h"

namespace sys {

namespace {

// Only reparse points that name another place are links; others (cloud
// placeholders, deduplicated files) are the entries they seem to be.
EntryKind kindOf(const WIN32_FIND_DATAW& fd) {
  if ((fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(fd.dwReserved0))
    return EntryKind::Link;
  return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

}  // namespace

bool entryKind(const std::string& path, EntryKind& kind) {
  if (path.find('\0') != std::string::npos || path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(toWide(path).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  kind = kindOf(fd);
  return true;
}

bool walkFolder(const std::string& folder, std::vector<WalkEntry>& entries) {
  entries.clear();
  if (folder.find('\0') != std::string::npos) return false;
  std::wstring pattern = toWide(folder);
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return false;
  // FILETIME counts 100 ns steps since 1601-01-01.
  const uint64_t kUnixEpoch = 116444736000000000ULL;
  do {
    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
    WalkEntry e;
    e.name = toUtf8(fd.cFileName);
    e.kind = kindOf(fd);
    if (e.kind == EntryKind::File) e.size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    uint64_t ticks = ((uint64_t)fd.ftLastWriteTime.dwHighDateTime << 32) | fd.ftLastWriteTime.dwLowDateTime;
    e.modified = ticks < kUnixEpoch ? 0 : (ticks - kUnixEpoch) / 10000000ULL;
    entries.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

}  // namespace sys
