#include <windows.h>

#include "sys/entry_move.h"
#include "sys/file_write.h"
#include "sys/text.h"

namespace sys {

namespace {

bool wideArg(const std::string& path, std::wstring& w) {
  if (path.find('\0') != std::string::npos) return false;
  w = toWide(path);
  return true;
}

std::wstring lastComponent(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The name of the entry at path as the folder holds it, its case included.
std::wstring nameOnDisk(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(path.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return {};
  FindClose(h);
  return fd.cFileName;
}

// Two steps through an unused name beside the entry; put back when the
// second one fails.
Renamed renameThroughDetour(const std::wstring& from, const std::wstring& to) {
  std::wstring detour = to.substr(0, to.size() - lastComponent(to).size()) + toWide(nextTempFileName());
  if (!MoveFileExW(from.c_str(), detour.c_str(), 0)) return Renamed::Failed;
  if (MoveFileExW(detour.c_str(), to.c_str(), 0)) return Renamed::Done;
  MoveFileExW(detour.c_str(), from.c_str(), 0);
  return Renamed::Failed;
}

}  // namespace

Renamed renameNoReplace(const std::string& from, const std::string& to) {
  std::wstring f, t;
  if (!wideArg(from, f) || !wideArg(to, t)) return Renamed::Failed;
  // Without MOVEFILE_REPLACE_EXISTING a taken name fails the call, and
  // without MOVEFILE_COPY_ALLOWED so does another volume.
  if (MoveFileExW(f.c_str(), t.c_str(), 0)) {
    // Some file systems (Wine's among them) take a rename that changes only
    // the case of a name as done and leave the name as it was.
    if (f != t && _wcsicmp(f.c_str(), t.c_str()) == 0 && nameOnDisk(t) != lastComponent(t))
      return renameThroughDetour(f, t);
    return Renamed::Done;
  }
  switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return Renamed::NameTaken;
    case ERROR_NOT_SAME_DEVICE: return Renamed::OtherVolume;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return Renamed::Missing;
    default: return Renamed::Failed;
  }
}

bool copyFileNew(const std::string& from, const std::string& to) {
  std::wstring f, t;
  if (!wideArg(from, f) || !wideArg(to, t)) return false;
  // Fails on a taken name; keeps the times and removes a partial copy itself.
  return CopyFileW(f.c_str(), t.c_str(), TRUE) != FALSE;
}

bool createFolder(const std::string& path) {
  std::wstring w;
  return wideArg(path, w) && CreateDirectoryW(w.c_str(), nullptr) != FALSE;
}

bool removeLink(const std::string& path) {
  std::wstring w;
  if (!wideArg(path, w)) return false;
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  // A junction or a folder link is removed as a folder, without its target.
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(w.c_str()) != FALSE : DeleteFileW(w.c_str()) != FALSE;
}

}  // namespace sys
