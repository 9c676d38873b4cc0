#include "sys/dos_devices.h"

namespace sys {

bool hasDriveLetters() { return false; }
uint32_t logicalDrives() { return 0; }
bool fullPathName(const std::string&, std::string&) { return false; }
unsigned long defineDosDevice(const std::string&, const std::string&) { return 1; }
unsigned long removeDosDevice(const std::string&, const std::string&) { return 1; }
bool queryDosDevice(const std::string&, std::string&) { return false; }
void notifyDriveAdded(const std::string&) {}
void notifyDriveRemoved(const std::string&) {}

}  // namespace sys
