// The file system as the file services see it: full paths, attributes,
// folder enumeration, streaming reads, and the few changes they make.
// Paths are UTF-8; the Windows side converts at each call.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sys/clock.h"

namespace sys {

// The longest full path the file services accept, in the platform's
// characters (UTF-16 units on Windows, bytes elsewhere), without the NUL.
extern const size_t kMaxFullPath;

// Whether entry names follow Windows' rules: device names such as CON or
// COM1, ":" for alternate streams, trailing dots and blanks folded away.
extern const bool kWindowsFileNames;

// The absolute form of a path with ".", doubled and trailing separators
// folded (and on Windows its own rules: trailing dots and blanks, device
// names). Symbolic links are not followed. Empty when it does not fit
// within kMaxFullPath or cannot be formed.
std::string fullPath(const std::string& path);

// Whether a folder may be made at path as far as its length goes: its full
// form fits, and on Windows leaves the room for an 8.3 name below it that
// the folder calls insist on.
bool folderPathFits(const std::string& path);

// Whether the first characters of path are prefix: ignoring case on Windows,
// exactly on Linux, following each platform's file systems.
bool hasPathPrefix(const std::string& path, const std::string& prefix);

enum class PathKind { Missing, File, Folder };
PathKind pathKind(const std::string& path);

struct FolderEntry {
  std::string name;
  bool isFolder = false;
  uint64_t size = 0;  // files only
  uint64_t modified = 0;  // last write, seconds since 1970
  // What is shown above may change without a change to this folder being
  // reported: a folder's time follows its own content, a link's state its
  // target's, a file with other names is written through those too, and an
  // entry that could not be queried may answer next time.
  bool changesElsewhere = false;
};

// Every entry in the order the system returns it, "." and ".." included.
// False when the folder cannot be enumerated.
bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries);
// The entry name of folder as listFolder shows it now; false when it cannot
// be queried.
bool entryStatus(const std::string& folder, const std::string& name, FolderEntry& entry);

using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// Opens an existing file for reading; others may read, write and delete it
// meanwhile. kNoFile on failure. sizeAtOpen, when given, gets the size the
// file has as it is opened.
FileHandle openForReading(const std::string& path, uint64_t* sizeAtOpen = nullptr);
bool fileSize(FileHandle f, uint64_t& size);
// Last write, in seconds since 1970-01-01 00:00 UTC.
bool fileModifiedSeconds(FileHandle f, uint64_t& seconds);
// What tells one state of a file's bytes from another: the file itself
// (volume and index, so a replacement is another file), its size, its last
// write and its last change, which no program can set back.
struct FileVersion {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  int64_t written = 0;  // in the system's own finest unit
  int64_t changed = 0;
  bool operator==(const FileVersion&) const = default;
};
bool fileVersion(FileHandle f, FileVersion& version);
// Moves the read position to offset bytes from the start.
bool seekFile(FileHandle f, uint64_t offset);
// Bytes read (0 at the end), or -1 on error.
long long readFromFile(FileHandle f, void* buffer, size_t capacity);
void closeFile(FileHandle f);

// Removes a folder only when it is empty.
bool removeEmptyFolder(const std::string& path);

// ---- For the ZIP download: size and local modification time by path ----

struct FileStatus {
  bool isFolder = false;
  uint64_t size = 0;             // files only
  CalendarTime modifiedLocal{};  // last write, in local time
};

// False when the path cannot be queried.
bool fileStatus(const std::string& path, FileStatus& status);

}  // namespace sys
