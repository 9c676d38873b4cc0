// A folder's entries as a walk over a tree needs them: what each entry is
// itself, links never followed, with size and modification time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sys {

// Link: a symbolic link, or on Windows a junction or another reparse point
// that names another place.
// Other: devices, pipes, sockets.
enum class EntryKind { File, Folder, Link, Other };

struct WalkEntry {
  std::string name;
  EntryKind kind = EntryKind::Other;
  uint64_t size = 0;      // files only
  uint64_t modified = 0;  // last write, seconds since 1970-01-01 00:00 UTC
};

// Every entry but "." and "..", in the order the system returns them.
// False when the folder cannot be enumerated.
// What the entry at path is itself; false when it is missing.
bool entryKind(const std::string& path, EntryKind& kind);

bool walkFolder(const std::string& folder, std::vector<WalkEntry>& entries);

}  // namespace sys
