#include <windows.h>

#include "sys/folder_walk.h"
#include "sys/text.h"

namespace sys {

namespace {

EntryKind kindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

}  // namespace

bool entryKind(const std::string& path, EntryKind& kind) {
  if (path.find('\0') != std::string::npos) return false;
  DWORD a = GetFileAttributesW(toWide(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  kind = kindOf(a);
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
    e.kind = kindOf(fd.dwFileAttributes);
    if (e.kind == EntryKind::File) e.size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    uint64_t ticks = ((uint64_t)fd.ftLastWriteTime.dwHighDateTime << 32) | fd.ftLastWriteTime.dwLowDateTime;
    e.modified = ticks < kUnixEpoch ? 0 : (ticks - kUnixEpoch) / 10000000ULL;
    entries.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

}  // namespace sys
