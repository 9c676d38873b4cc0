#include "sys/memory.h"

namespace sys {

// The Windows heap decommits large free ranges by itself.
void releaseFreeMemory() {}

}  // namespace sys
