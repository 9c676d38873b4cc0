#include <windows.h>

#include "sys/autostart.h"
#include "sys/text.h"

namespace sys {

namespace {
const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kRunValue = L"Vantrel PRO";
constexpr DWORD kRunReadBytes = 8192;

std::wstring ownPath() {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  // A path that fills the buffer was cut; it would name another file.
  if (n == 0 || n >= MAX_PATH) return L"";
  return std::wstring(buffer, n);
}
}  // namespace

std::string programFilePath() { return toUtf8(ownPath()); }

bool isAutostartEnabled(const std::string&) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  wchar_t buffer[kRunReadBytes / sizeof(wchar_t) + 1] = {};
  DWORD type = 0, bytes = kRunReadBytes;
  LONG rc = RegQueryValueExW(key, kRunValue, nullptr, &type, (BYTE*)buffer, &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  std::wstring self = ownPath();
  return !self.empty() && std::wstring(buffer).find(self) != std::wstring::npos;
}

bool setAutostart(const std::string&, bool enable, std::string& error) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    error = "cannot open the Run key";
    return false;
  }
  LONG rc;
  if (enable) {
    std::wstring self = ownPath();
    if (self.empty()) {
      RegCloseKey(key);
      error = "cannot find the program file";
      return false;
    }
    std::wstring value = L"\"" + self + L"\" --autostart";
    rc = RegSetValueExW(key, kRunValue, 0, REG_SZ, (const BYTE*)value.c_str(),
                        (DWORD)((value.size() + 1) * sizeof(wchar_t)));
  } else {
    rc = RegDeleteValueW(key, kRunValue);
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) error = "registry error " + std::to_string(rc);
  return rc == ERROR_SUCCESS;
}

}  // namespace sys
