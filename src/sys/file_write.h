// Writing a file so that it appears whole: the bytes go to a new temporary
// file in the target folder, which takes the final name only when complete.
// A reader of the final name sees the old file or the complete new one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sys {

struct TempFile {
  std::intptr_t handle = -1;  // -1 while none is open
  std::string path;           // the temporary file's own path
};

// How many unused names createTempFile tries before it gives up.
constexpr int kTempNameAttempts = 32;

// A name no other temporary file of this process has had.
std::string nextTempFileName();

// Creates a new, empty file under an unused name in folder.
bool createTempFile(const std::string& folder, TempFile& f);
// Writes every byte; false on any failure (disk full, quota, I/O error).
bool writeTempFile(TempFile& f, const void* data, size_t size);
// Closes the file and moves it over finalPath, replacing a file of that
// name. On failure the temporary file is removed.
bool commitTempFile(TempFile& f, const std::string& finalPath);
// Closes and removes the temporary file; does nothing when none is open.
void discardTempFile(TempFile& f);

}  // namespace sys
