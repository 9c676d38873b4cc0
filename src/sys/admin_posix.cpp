#include <unistd.h>

#include "sys/admin.h"

namespace sys {

bool isRunningAsAdmin() { return !treatedAsStandardUser() && geteuid() == 0; }

}  // namespace sys
