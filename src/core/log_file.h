// The event log on disk. It holds the run PIN, so only its owner may read it,
// and it is kept to a bounded size: a file that would grow past the limit is
// moved aside to path + ".1", replacing the one before, and a new one begun.
#pragma once
#include <cstdint>
#include <string>

namespace core {

constexpr uint64_t kLogFileRotateBytes = 10 * 1024 * 1024;

// False when the bytes could not be written.
bool appendToLogFile(const std::string& path, const std::string& bytes, uint64_t rotateAt);
// Deletes the file and the one moved aside.
void deleteLogFiles(const std::string& path);

}  // namespace core
