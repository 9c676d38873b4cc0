// Whole-file operations on small files (log, settings, certificate marks).
#pragma once
#include <cstddef>
#include <string>

namespace sys {

// Appends bytes to the file, creating it; false when it cannot be written.
bool appendToFile(const std::string& path, const std::string& bytes);
bool deleteFile(const std::string& path);
// Replaces the file's content with bytes; false when it cannot be written.
bool writeWholeFile(const std::string& path, const std::string& bytes);
// Reads at most maxBytes of the file; false when it cannot be opened.
bool readSmallFile(const std::string& path, std::string& bytes, size_t maxBytes);
bool isRegularFile(const std::string& path);

}  // namespace sys
