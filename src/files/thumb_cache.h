// Finished previews, kept as JPEG files in the base folder's thumbs/ so that
// each photo is decoded once. The total is bounded; the least recently used
// go first. Files are written under a temporary name and renamed, and read
// back only when they are whole JPEGs, so a crash never leaves a preview
// that is served broken.
#pragma once
#include <cstdint>
#include <string>

namespace files {

constexpr uint64_t kThumbCacheBytes = 512ull * 1048576;
// No preview is larger; a bigger file in the folder is not one of ours.
constexpr uint64_t kMaxThumbBytes = 4 * 1048576;

// What a preview is made of: a changed or replaced file (another size or
// modification time) has other keys, so it gets a new preview.
struct ThumbKey {
  std::string fullPath;
  uint64_t fileSize = 0;
  uint64_t modified = 0;  // seconds since 1970
  int size = 0;           // the longest side asked for
};

// The key as the name of its file in the cache folder.
std::string thumbFileName(const ThumbKey& key);

// Takes the folder (created when missing) and its bound; what it holds
// already is taken into account, oldest first, and leftovers of writes
// that never finished are removed.
void openThumbCache(const std::string& folder, uint64_t maxBytes = kThumbCacheBytes);

// The kept preview. False when there is none; a file that is no whole JPEG
// is removed.
bool findThumb(const std::string& name, std::string& jpeg);
// Keeps a preview, then removes the least recently used beyond the bound.
// False when it could not be written (the preview may still be sent).
bool keepThumb(const std::string& name, const std::string& jpeg);

// The bytes the cache holds by its own count.
uint64_t thumbCacheBytes();

}  // namespace files
