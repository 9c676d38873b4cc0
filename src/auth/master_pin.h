// The master PIN: chosen by the user, kept in the settings as "MasterPin6".
#pragma once
#include <string>

namespace auth {

// Start-up, after resetSessions: takes the stored PIN when it is six digits,
// otherwise draws a new one and stores it.
void loadMasterPin();
// A six-digit text that differs from the master PIN replaces it, is stored
// and logged; anything else (also the same six digits again) changes
// nothing. Sessions already issued stay valid.
void setMasterPin(const std::string& text);

}  // namespace auth
