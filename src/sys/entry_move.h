// Renaming and moving entries without ever replacing one, and the pieces a
// move to another volume is made of: a copy into a new file and the removal
// of what a walk finds, links included.
#pragma once
#include <string>

namespace sys {

enum class Renamed { Done, NameTaken, OtherVolume, Missing, Failed };

// Gives a file or folder its new path in one step, unless an entry of that
// name exists: then NameTaken, also when another request takes the name at
// the same moment. OtherVolume when the two paths lie on different volumes
// (nothing changed). Only the case of a name may change on Windows.
Renamed renameNoReplace(const std::string& from, const std::string& to);

// Copies a regular file into a new file at to (false when the name is taken
// or anything fails; a partial copy is removed). The copy keeps the
// original's modification time.
bool copyFileNew(const std::string& from, const std::string& to);

// Creates one folder; false when anything has that name.
bool createFolder(const std::string& path);

// Removes a link (a symbolic link, or on Windows a junction) itself, never
// what it points to.
bool removeLink(const std::string& path);

}  // namespace sys
