// DOS device definitions of the logon session: the drive letters a user
// sees. Only Windows has them; elsewhere every call reports failure.
#pragma once
#include <cstdint>
#include <string>

namespace sys {

bool hasDriveLetters();
// Bit 0 for A: up to bit 25 for Z:, as the system reports them now.
uint32_t logicalDrives();
// The absolute, canonical form of a path; false when it cannot be formed
// or does not fit the 260-character buffer the drive mapping uses.
bool fullPathName(const std::string& path, std::string& full);
// letter is "W:"; target the raw target path. 0 on success, else the error code.
unsigned long defineDosDevice(const std::string& letter, const std::string& target);
// Removes the definition of letter only when it is exactly target.
unsigned long removeDosDevice(const std::string& letter, const std::string& target);
// The current target of letter; false when it has none.
bool queryDosDevice(const std::string& letter, std::string& target);
// Tells the shell that the drive root ("W:\") came or went.
void notifyDriveAdded(const std::string& root);
void notifyDriveRemoved(const std::string& root);

}  // namespace sys
