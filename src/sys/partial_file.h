// A file that grows over several requests beside its destination and takes
// its final name only once complete: the same volume, so finishing is a
// rename. Hidden on Windows while it grows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "sys/fs.h"

namespace sys {

// A new, empty file; false when the name is taken or it cannot be made.
bool createPartialFile(const std::string& path);
// Opened for writing at its end, with its current size; kNoFile on failure.
// Readers and deleters may share it. Closed with closeFile.
FileHandle openPartialForAppend(const std::string& path, uint64_t& size);
// Writes every byte; false on any failure (the bytes before it may stay).
bool appendToPartial(FileHandle f, const void* data, size_t size);

enum class Placed { Done, NameTaken, Failed };
// Moves the closed partial file to finalPath in one step. Without replace an
// existing entry of that name is left alone (NameTaken); with it a file of
// that name is replaced.
Placed placePartialFile(const std::string& partialPath, const std::string& finalPath, bool replace);

}  // namespace sys
