#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "sys/folders.h"
#include "sys/text.h"

namespace sys {

const char kPathSeparator = '\\';

static std::string knownFolder(REFKNOWNFOLDERID id) {
  PWSTR p = nullptr;
  std::string out;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &p))) out = toUtf8(p);
  if (p) CoTaskMemFree(p);
  return out;
}

std::string baseFolder() { return knownFolder(FOLDERID_LocalAppData) + "\\Vantrel"; }

std::string configFolder() { return knownFolder(FOLDERID_LocalAppData); }

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

bool pathExists(const std::string& path) { return PathFileExistsW(toWide(path).c_str()) != FALSE; }

bool createDirectories(const std::string& path) {
  std::wstring w = toWide(path);
  if (!PathFileExistsW(w.c_str())) SHCreateDirectoryExW(nullptr, w.c_str(), nullptr);
  DWORD a = GetFileAttributesW(w.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace sys
