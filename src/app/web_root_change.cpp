#include "app/web_root_change.h"

#include "auth/share_table.h"
#include "core/event_log.h"
#include "drive/web_root_drive.h"
#include "files/listing_cache.h"
#include "files/web_root.h"
#include "app/routes.h"
#include "http/server.h"
#include "sys/folders.h"
#include "sys/settings.h"

namespace app {

bool setWebRoot(const std::string& folder) {
  if (folder.empty()) return false;
  bool wasRunning = http::serverRunning();
  if (wasRunning) http::stopServer();
  drive::unmountWebRootDrive();
  // Failures below leave the change in force for this run only.
  sys::createDirectories(folder);
  files::setWebRoot(folder);
  // Kept listings would stay correct (whole paths, each checked against its
  // folder), but those of the old root are of no further use.
  files::clearListings();
  sys::writeRegString("WebRootPath", folder);
  auth::clearShares();
  core::logEvent("WEBROOT changed to: " + folder + " (share links cleared)");
  drive::mountWebRootDrive();
  if (wasRunning) http::startServer(app::routes());
  return true;
}

std::string defaultWebRoot(const std::string& baseFolder) { return sys::joinPath(baseFolder, "files"); }

}  // namespace app
