// The folder served to browsers, set by the front end at start-up and when
// the user picks another one; every request reads it afresh.
#pragma once
#include <string>

namespace files {

void setWebRoot(const std::string& folder);
std::string webRoot();

}  // namespace files
