#include "files/tus_finish.h"

#include "core/event_log.h"
#include "files/tus_target.h"
#include "sys/file_times.h"
#include "sys/folders.h"
#include "sys/fs.h"
#include "sys/partial_file.h"

namespace files {

namespace {

constexpr int kMaxNumberedNames = 10000;

std::string placed(const std::string& folder, const std::string& name) {
  core::logEvent("UPLOAD  " + sys::joinPath(folder, name));
  return name;
}

}  // namespace

std::string placeUpload(const TusUpload& u) {
  std::string partial = partialPathOf(u);
  if (u.modifiedMs) sys::setFileModifiedMs(partial, u.modifiedMs);
  // A folder of that name is never replaced; the file takes a numbered name.
  std::string target = sys::joinPath(u.folder, u.name);
  if (u.overwrite && sys::pathKind(target) != sys::PathKind::Folder) {
    if (sys::placePartialFile(partial, target, true) != sys::Placed::Done) return {};
    return placed(u.folder, u.name);
  }
  for (int n = 0; n < kMaxNumberedNames; ++n) {
    std::string name = n == 0 ? u.name : numberedName(u.name, n);
    switch (sys::placePartialFile(partial, sys::joinPath(u.folder, name), false)) {
      case sys::Placed::Done: return placed(u.folder, name);
      case sys::Placed::NameTaken: continue;
      case sys::Placed::Failed: return {};
    }
  }
  return {};
}

}  // namespace files
