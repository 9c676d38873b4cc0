// Folder listings as JSON, in the order the system enumerates them.
#pragma once
#include <string>

namespace files {

// {"ok":true,"items":[...]} with name, type, (files only) size and
// modified (seconds since 1970, for sorting by date). False
// with error "Directory not found" when the folder is missing or a file.
bool listDirectory(const std::string& folder, std::string& json, std::string& error);
// Files only, each with name, size and modified: what a folder share shows.
std::string listSharedFolder(const std::string& folder);

}  // namespace files
