// Whole-file operations on small files (log, settings, certificate marks).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sys {

// Appends bytes to the file, creating it; false when it cannot be written.
// On POSIX only its owner may read or write it, an older file included.
bool appendToPrivateFile(const std::string& path, const std::string& bytes);
bool deleteFile(const std::string& path);
// Renames from to to, replacing a file of that name.
bool renameReplacing(const std::string& from, const std::string& to);
// False when the file cannot be queried.
bool fileSizeAt(const std::string& path, uint64_t& size);
// Replaces the file's content with bytes; false when it cannot be written.
bool writeWholeFile(const std::string& path, const std::string& bytes);
// Reads at most maxBytes of the file; false when it cannot be opened.
bool readSmallFile(const std::string& path, std::string& bytes, size_t maxBytes);
bool isRegularFile(const std::string& path);

}  // namespace sys
