// Whole trees for a move between volumes: the copy made before the original
// goes, and the removal of either. Links are never followed.
#pragma once
#include <string>

namespace files {

// Copies the file or folder tree at from to the new path to. Links, devices
// and pipes are not copied: the copy fails on them. Reserved names (data of
// uploads in progress) are left out. On failure what was copied stays, for
// the caller to remove.
bool copyTree(const std::string& from, const std::string& to);
// Removes the file, link or folder tree at path; true when all of it went.
bool removeTree(const std::string& path);

}  // namespace files
