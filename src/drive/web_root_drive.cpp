#include "drive/web_root_drive.h"

#include <atomic>
#include <cctype>
#include <mutex>

#include "core/event_log.h"
#include "files/web_root.h"
#include "sys/admin.h"
#include "sys/dos_devices.h"

namespace drive {

const char* const kCandidates[kCandidateCount] = {"W:", "T:", "X:", "Y:", "Z:", "U:", "V:", "A:", "B:", "H:",
                                                  "I:", "J:", "K:", "L:", "M:", "N:", "O:", "P:", "Q:", "R:"};

namespace {

std::mutex stateMutex;
DriveState state;
std::atomic<DriveChangedHook> changedHook{nullptr};

void setState(const DriveState& s) {
  std::lock_guard<std::mutex> lock(stateMutex);
  state = s;
}

void notifyChanged() {
  if (DriveChangedHook h = changedHook.load()) h();
}

// The raw target this program gives the web root; empty when its full path
// cannot be formed.
std::string webRootTarget(bool logFailure) {
  std::string full;
  if (!sys::fullPathName(files::webRoot(), full)) {
    if (logFailure) core::logEvent("DRIVE   GetFullPathName failed");
    return "";
  }
  return "\\??\\" + full;
}

}  // namespace

int firstFreeCandidate(uint32_t (*readDrives)()) {
  for (int i = 0; i < kCandidateCount; i++) {
    int bit = std::toupper((unsigned char)kCandidates[i][0]) - 'A';
    if ((readDrives() & (1u << bit)) == 0) return i;
  }
  return -1;
}

bool mountWebRootDrive() {
  setState(DriveState{});
  if (!sys::hasDriveLetters()) return false;
  if (sys::isRunningAsAdmin()) {
    core::logEvent("DRIVE   skipped (running as administrator)");
    return false;
  }
  int i = firstFreeCandidate(sys::logicalDrives);
  if (i < 0) {
    core::logEvent("DRIVE   no free drive letter");
    return false;
  }
  std::string letter = kCandidates[i];
  std::string target = webRootTarget(true);
  if (target.empty()) return false;
  if (unsigned long err = sys::defineDosDevice(letter, target)) {
    core::logEvent("DRIVE   mount failed for " + letter + " (err=" + std::to_string(err) + ")");
    return false;
  }
  DriveState s{true, letter, letter + "\\", target};
  setState(s);
  sys::notifyDriveAdded(s.root);
  core::logEvent("DRIVE   mounted " + letter + " -> " + files::webRoot());
  notifyChanged();
  return true;
}

void unmountWebRootDrive() {
  DriveState s = driveState();
  if (!s.mapped || s.letter.empty() || s.target.empty()) return;
  unsigned long err = sys::removeDosDevice(s.letter, s.target);
  if (err == 0) {
    core::logEvent("DRIVE   unmounted " + s.letter);
    sys::notifyDriveRemoved(s.root);
  } else {
    core::logEvent("DRIVE   unmount failed for " + s.letter + " (err=" + std::to_string(err) + ")");
  }
  setState(DriveState{});
  if (err == 0) notifyChanged();
}

void reclaimStaleDrive() {
  if (!sys::hasDriveLetters() || sys::isRunningAsAdmin()) return;
  std::string target = webRootTarget(false);
  if (target.empty()) return;
  for (const char* letter : kCandidates) {
    std::string current;
    if (!sys::queryDosDevice(letter, current) || current != target) continue;
    if (sys::removeDosDevice(letter, target) == 0) {
      core::logEvent(std::string("DRIVE   unmounted ") + letter);
      sys::notifyDriveRemoved(std::string(letter) + "\\");
    }
  }
}

DriveState driveState() {
  std::lock_guard<std::mutex> lock(stateMutex);
  return state;
}

void setDriveChangedHook(DriveChangedHook hook) { changedHook.store(hook); }

}  // namespace drive
