// Change notifications for folders, so that what was read from a folder can
// be used again until the system reports a change to one of its entries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sys {

// Which folder a path names (device and inode, or volume and file index),
// so that a folder moved away and another made at its path tell apart.
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FolderIdentity&) const = default;
};
// False when path is no folder or cannot be queried.
bool folderIdentity(const std::string& path, FolderIdentity& identity);

using FolderWatch = std::intptr_t;
constexpr FolderWatch kNoWatch = -1;

// Starts reporting changes to the folder's entries: names made, removed or
// moved, contents written, sizes, times and attributes, and the folder itself
// removed or moved. kNoWatch where the system might not report every change
// (network and user-space file systems) or refuses another watch. Two paths
// of one folder may be given the same watch.
FolderWatch watchFolder(const std::string& folder);
void unwatchFolder(FolderWatch watch);

// Adds to fired the watches that saw a change since they were made; false
// when the system lost count, so that every folder counts as changed. Calls
// must not overlap: the one caller makes them under its own lock.
bool firedWatches(std::vector<FolderWatch>& fired);

}  // namespace sys
