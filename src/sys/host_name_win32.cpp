#include "sys/host_name.h"

#include <windows.h>

#include "sys/text.h"

namespace sys {

std::string computerName() {
  wchar_t name[256] = {};
  DWORD size = 256;
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
  return toUtf8(std::wstring(name, size));
}

}  // namespace sys
