// The web root as a drive letter of the logon session while the program
// runs (Windows; elsewhere nothing is mapped and nothing is logged).
#pragma once
#include <cstdint>
#include <string>

namespace drive {

// The letters tried, in order; C to G and S are never used.
constexpr int kCandidateCount = 20;
extern const char* const kCandidates[kCandidateCount];

struct DriveState {
  bool mapped = false;
  std::string letter;  // "W:"
  std::string root;    // "W:\"
  std::string target;  // "\??\" + the web root's full path
};

// The index of the first candidate whose letter is free, reading the drive
// mask afresh for every candidate; -1 when all are taken.
int firstFreeCandidate(uint32_t (*readDrives)());

// Defines the first free letter for the web root; true when one was defined.
bool mountWebRootDrive();
// Removes this program's own definition, if it made one.
void unmountWebRootDrive();
// Removes a definition among the candidates whose target is exactly this
// web root's, left by an earlier run that ended without unmounting.
void reclaimStaleDrive();

DriveState driveState();

// Called after the mapping came or went (the tray tip shows the letter).
using DriveChangedHook = void (*)();
void setDriveChangedHook(DriveChangedHook hook);

}  // namespace drive
