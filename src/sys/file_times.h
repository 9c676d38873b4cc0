// Setting a file's last-write time, so an upload keeps the time the file
// had on the sender's side.
#pragma once
#include <cstdint>
#include <string>

namespace sys {

// Milliseconds since 1970-01-01 00:00 UTC; false when the file (or folder)
// cannot be changed.
bool setFileModifiedMs(const std::string& path, uint64_t milliseconds);

}  // namespace sys
