// Giving freed memory back to the system.
#pragma once

namespace sys {

// The C library may keep the memory of many freed small blocks (the
// sessions of a flood of connections, say) for reuse; this returns what it
// can. It walks the whole heap: for after such a flood, not for every free.
void releaseFreeMemory();

}  // namespace sys
