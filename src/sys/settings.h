// The per-user settings store: the registry key "Software\Vantrel PRO" on
// Windows, a file of Name=Value lines in the configuration folder elsewhere.
// Names and values are UTF-8.
#pragma once
#include <string>

namespace sys {

// True only when the value exists and is a non-empty text; out is left
// untouched otherwise.
bool readRegString(const std::string& name, std::string& value);
// Creates the store when missing; false when the value could not be written.
bool writeRegString(const std::string& name, const std::string& value);

}  // namespace sys
