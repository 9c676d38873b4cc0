#include <windows.h>

#include "sys/entry_move.h"
#include "sys/text.h"

namespace sys {

namespace {

bool wideArg(const std::string& path, std::wstring& w) {
  if (path.find('\0') != std::string::npos) return false;
  w = toWide(path);
  return true;
}

}  // namespace

Renamed renameNoReplace(const std::string& from, const std::string& to) {
  std::wstring f, t;
  if (!wideArg(from, f) || !wideArg(to, t)) return Renamed::Failed;
  // Without MOVEFILE_REPLACE_EXISTING a taken name fails the call, and
  // without MOVEFILE_COPY_ALLOWED so does another volume.
  if (MoveFileExW(f.c_str(), t.c_str(), 0)) return Renamed::Done;
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
