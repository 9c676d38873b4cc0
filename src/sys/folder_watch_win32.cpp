#include <windows.h>

#include "sys/folder_watch.h"
#include "sys/text.h"

namespace sys {

namespace {

bool wideArg(const std::string& path, std::wstring& w) {
  if (path.find('\0') != std::string::npos) return false;
  w = toWide(path);
  return true;
}

// Only a fixed local drive reports every change; on network shares and
// removable media changes may pass unreported.
bool reportsEveryChange(const std::wstring& folder) {
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(folder.c_str(), root, MAX_PATH + 1)) return false;
  return GetDriveTypeW(root) == DRIVE_FIXED;
}

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_ATTRIBUTES;

}  // namespace

bool folderIdentity(const std::string& path, FolderIdentity& identity) {
  std::wstring w;
  if (!wideArg(path, w)) return false;
  HANDLE h = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(h);
  if (!ok) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
  return true;
}

FolderWatch watchFolder(const std::string& folder) {
  std::wstring w;
  if (!wideArg(folder, w) || !reportsEveryChange(w)) return kNoWatch;
  HANDLE h = FindFirstChangeNotificationW(w.c_str(), FALSE, kChanges);
  return h == INVALID_HANDLE_VALUE ? kNoWatch : (FolderWatch)h;
}

void unwatchFolder(FolderWatch watch) {
  if (watch != kNoWatch) FindCloseChangeNotification((HANDLE)watch);
}

// The system signals a change a moment after the call that made it returns
// (Wine's more so), so what was read right after a change may be used once
// more before the signal comes. A fired watch is not armed again with
// FindNextChangeNotification: its caller ends it with what it guarded.
bool firedWatches(const std::vector<FolderWatch>& watches, std::vector<FolderWatch>& fired) {
  for (FolderWatch w : watches)
    if (WaitForSingleObject((HANDLE)w, 0) != WAIT_TIMEOUT) fired.push_back(w);
  return true;
}

}  // namespace sys
