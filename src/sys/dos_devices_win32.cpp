#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "sys/dos_devices.h"
#include "sys/text.h"

namespace sys {

bool hasDriveLetters() { return true; }

uint32_t logicalDrives() { return (uint32_t)GetLogicalDrives(); }

bool fullPathName(const std::string& path, std::string& full) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetFullPathNameW(toWide(path).c_str(), MAX_PATH, buffer, nullptr);
  // A result of MAX_PATH or more is the size the path would need.
  if (n == 0 || n >= MAX_PATH) return false;
  full = toUtf8(std::wstring(buffer, n));
  return true;
}

unsigned long defineDosDevice(const std::string& letter, const std::string& target) {
  if (DefineDosDeviceW(DDD_RAW_TARGET_PATH, toWide(letter).c_str(), toWide(target).c_str())) return 0;
  return GetLastError();
}

namespace {

// Whether target is among the letter's definitions (the current one and any
// it hides).
bool isDefinedAs(const std::wstring& letter, const std::wstring& target) {
  wchar_t buffer[4096];
  DWORD n = QueryDosDeviceW(letter.c_str(), buffer, 4096);
  for (DWORD i = 0; i < n && buffer[i] != L'\0'; i += (DWORD)wcslen(buffer + i) + 1)
    if (target == buffer + i) return true;
  return false;
}

}  // namespace

unsigned long removeDosDevice(const std::string& letter, const std::string& target) {
  // Some implementations ignore the exact-match flag and would remove
  // whatever the letter now names; another program's definition must stay.
  if (!isDefinedAs(toWide(letter), toWide(target))) return ERROR_FILE_NOT_FOUND;
  if (DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                       toWide(letter).c_str(), toWide(target).c_str()))
    return 0;
  return GetLastError();
}

bool queryDosDevice(const std::string& letter, std::string& target) {
  wchar_t buffer[4096];
  DWORD n = QueryDosDeviceW(toWide(letter).c_str(), buffer, 4096);
  if (n == 0) return false;
  target = toUtf8(std::wstring(buffer));  // the first (current) target
  return true;
}

void notifyDriveAdded(const std::string& root) {
  SHChangeNotify(SHCNE_DRIVEADD, SHCNF_PATHW, toWide(root).c_str(), nullptr);
}

void notifyDriveRemoved(const std::string& root) {
  SHChangeNotify(SHCNE_DRIVEREMOVED, SHCNF_PATHW, toWide(root).c_str(), nullptr);
}

}  // namespace sys
