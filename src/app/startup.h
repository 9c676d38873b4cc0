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

enum class StartFailure { None, RandomGenerator, Certificate };

// PINs, share secret, the start-up log lines, the cached address, the
// certificate and the drive letter. Without working random numbers there
// is no safe PIN or token, so the program must not serve at all.
StartFailure prepareServing(const StartupFolders& folders);
// What the front end tells the user when prepareServing failed.
const char* startFailureText(StartFailure failure);

// Stops the server, gives running connections a moment, frees the TLS
// context, removes the drive letter and logs the exit.
void shutDown();

}  // namespace app
