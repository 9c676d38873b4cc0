// The pages sent to browsers, embedded at build time.
#pragma once
#include <string>

#include "http/connection.h"

namespace web {

const std::string& loginPage();
const std::string& fileManagerPage();
const std::string& sharedFolderPage();

// One of the pages above, 200 with its security headers.
void sendPage(http::Connection& c, const std::string& page);

}  // namespace web
