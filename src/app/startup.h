// The start-up and shutdown steps both front ends share, in their order.
#pragma once
#include <string>

namespace app {

struct StartupFolders {
  std::string base;     // per-user data folder
  std::string webRoot;  // the folder served
};

// The base folder and the web root (the stored "WebRootPath" where the
// program keeps one, else base/files; rootOverride wins when given), both
// created when missing, and the web root handed to the file services.
StartupFolders prepareFolders(const std::string& rootOverride);

// PINs, share secret, the start-up log lines, the cached address, the
// certificate and the drive letter. False when the certificate cannot be made.
bool prepareServing(const StartupFolders& folders);

// Stops the server, gives running connections a moment, frees the TLS
// context, removes the drive letter and logs the exit.
void shutDown();

}  // namespace app
