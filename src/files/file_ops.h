// Changes the file manager makes: new folders and deletions.
#pragma once
#include <string>

namespace files {

// Creates the folder with any missing parents unless the path exists; the
// outcome shows in the next listing.
void ensureDirectory(const std::string& path);
// Deletes a file, or removes a folder when it is empty.
bool deletePath(const std::string& path);

}  // namespace files
