#include <windows.h>

#include "sys/process_exit.h"

namespace sys {

void exitProcess(int code) { ExitProcess((UINT)code); }

}  // namespace sys
