// Changing the folder that is served while the program runs.
#pragma once
#include <string>

namespace app {

// Serves folder from now on: stops the server if it runs, removes the drive
// letter, creates the folder when missing, stores it as "WebRootPath",
// clears the share links (they point into the old folder), logs the change,
// maps the drive letter again and restarts a server that was running. The
// caller refreshes what it shows. An empty folder changes nothing: false.
bool setWebRoot(const std::string& folder);

// The default web root, the files folder in the base folder.
std::string defaultWebRoot(const std::string& baseFolder);

}  // namespace app
