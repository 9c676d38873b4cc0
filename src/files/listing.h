// Folder listings as JSON, in the order the system enumerates them.
#pragma once
#include <string>

#include "files/listing_cache.h"

namespace files {

// The answer listing folder: {"ok":true,"items":[...]}, for ListingKind::Folder
// with name, type, (files only) size and modified (seconds since 1970, for
// sorting by date) of each entry, for ListingKind::Shared files only, each
// with name, size and modified: what a folder share shows. Null when the
// folder is missing or a file. An answer is used again while the system
// reports no change to the folder (files/listing_cache.h).
Listing folderListing(const std::string& folder, ListingKind kind);

}  // namespace files
