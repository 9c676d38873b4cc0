// The room left on a volume, so an upload that cannot fit is refused before
// any of it is sent.
#pragma once
#include <cstdint>
#include <string>

namespace sys {

// Bytes this user may still write on the volume that holds the existing
// folder; false when the system cannot tell.
bool freeSpace(const std::string& folder, uint64_t& bytes);

}  // namespace sys
