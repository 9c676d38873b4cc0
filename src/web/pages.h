// The pages sent to browsers, embedded at build time.
#pragma once
#include <string>

namespace web {

const std::string& loginPage();
const std::string& fileManagerPage();
const std::string& sharedFolderPage();

}  // namespace web
