#include <windows.h>

#include "sys/settings.h"
#include "sys/text.h"

namespace sys {

static const wchar_t* const kSettingsKey = L"Software\\Vantrel PRO";
// 255 characters and the terminating zero; longer values count as missing.
constexpr DWORD kReadBufferBytes = 512;

bool readRegString(const std::string& name, std::string& value) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  wchar_t buffer[kReadBufferBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  DWORD bytes = kReadBufferBytes;
  LONG rc = RegQueryValueExW(key, toWide(name).c_str(), nullptr, &type, (BYTE*)buffer, &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
  // The stored text need not carry its terminator; stop at the first zero.
  size_t chars = bytes / sizeof(wchar_t);
  size_t length = 0;
  while (length < chars && buffer[length] != L'\0') ++length;
  // A value that filled the buffer without its zero is longer than 255.
  if (length == 0 || length >= kReadBufferBytes / sizeof(wchar_t)) return false;
  value = toUtf8(std::wstring(buffer, length));
  return true;
}

bool writeRegString(const std::string& name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  std::wstring w = toWide(value);
  DWORD bytes = (DWORD)((w.size() + 1) * sizeof(wchar_t));
  LONG rc = RegSetValueExW(key, toWide(name).c_str(), 0, REG_SZ, (const BYTE*)w.c_str(), bytes);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

}  // namespace sys
