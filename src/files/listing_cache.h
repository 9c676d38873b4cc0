// Folder listings kept between requests for as long as the system reports no
// change to the folder, so that the reload of an unchanged folder neither
// reads its entries nor builds and hashes its answer again.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sys/folder_watch.h"
#include "sys/fs.h"

namespace files {

enum class ListingKind { Folder, Shared };

struct KeptListing {
  std::string body;
  std::string etag;
  // The shown entries whose state can change without the folder's watch
  // hearing of it (sys::FolderEntry::changesElsewhere), as they were listed:
  // the user checks them again before each use.
  std::vector<sys::FolderEntry> recheck;
};
using Listing = std::shared_ptr<const KeptListing>;

// The answer of that kind kept for folder, when identity still names the
// folder it was read from and no change was reported since; else null.
// stamp is what a fresh answer is to be kept under, 0 when none may be kept
// (the folder cannot be watched).
Listing findListing(const std::string& folder, const sys::FolderIdentity& identity, ListingKind kind,
                    uint64_t& stamp);
// Keeps answer unless a change was reported since stamp was handed out.
void keepListing(const std::string& folder, ListingKind kind, uint64_t stamp, Listing answer);
// Forgets every folder and ends its watch.
void clearListings();

}  // namespace files
