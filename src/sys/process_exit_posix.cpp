#include <cstdio>
#include <cstdlib>

#include "sys/process_exit.h"

namespace sys {

void exitProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace sys
