// Changes the file manager makes: new folders, deletions, renames and moves.
#pragma once
#include <string>

namespace files {

// Creates the folder with any missing parents. nullptr once it exists, made
// now or before; otherwise why not, in the words the client is answered
// with (a file has the name, the folder cannot be created).
const char* makeFolder(const std::string& path);
// Deletes a file, or removes a folder when it is empty.
bool deletePath(const std::string& path);

// The answer to a rename or move onto a name that is taken.
constexpr char kNameTakenError[] = "A file or folder with that name already exists";

}  // namespace files
