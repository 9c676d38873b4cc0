#include <windows.h>

#include "sys/instance_lock.h"

namespace sys {

bool acquireSingleInstance(const std::string&) {
  HANDLE m = CreateMutexW(nullptr, TRUE, L"Global\\HTTPSVantrel_SingleInstance");
  // The handle is kept until the process ends; it goes with the process.
  return !(m && GetLastError() == ERROR_ALREADY_EXISTS);
}

}  // namespace sys
