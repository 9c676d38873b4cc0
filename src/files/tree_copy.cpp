#include "files/tree_copy.h"

#include <vector>

#include "files/names.h"
#include "sys/entry_move.h"
#include "sys/file_io.h"
#include "sys/folder_walk.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

namespace {

bool copyOf(const std::string& from, const std::string& to, sys::EntryKind kind) {
  if (kind == sys::EntryKind::File) return sys::copyFileNew(from, to);
  if (kind != sys::EntryKind::Folder) return false;
  std::vector<sys::WalkEntry> entries;
  if (!sys::createFolder(to) || !sys::walkFolder(from, entries)) return false;
  for (const sys::WalkEntry& e : entries) {
    if (isReservedName(e.name)) continue;
    if (!copyOf(sys::joinPath(from, e.name), sys::joinPath(to, e.name), e.kind)) return false;
  }
  return true;
}

bool removeOf(const std::string& path, sys::EntryKind kind) {
  switch (kind) {
    case sys::EntryKind::Link: return sys::removeLink(path);
    case sys::EntryKind::File:
    case sys::EntryKind::Other: return sys::deleteFile(path);
    case sys::EntryKind::Folder: break;
  }
  std::vector<sys::WalkEntry> entries;
  bool ok = sys::walkFolder(path, entries);
  for (const sys::WalkEntry& e : entries) ok = removeOf(sys::joinPath(path, e.name), e.kind) && ok;
  return sys::removeEmptyFolder(path) && ok;
}

}  // namespace

bool copyTree(const std::string& from, const std::string& to) {
  sys::EntryKind kind;
  return sys::entryKind(from, kind) && copyOf(from, to, kind);
}

bool removeTree(const std::string& path) {
  sys::EntryKind kind;
  return sys::entryKind(path, kind) && removeOf(path, kind);
}

}  // namespace files
