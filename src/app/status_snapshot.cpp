#include "app/status_snapshot.h"

#include "auth/sessions.h"
#include "drive/web_root_drive.h"
#include "files/web_root.h"
#include "http/connection.h"
#include "http/server.h"
#include "netenv/address_cache.h"
#include "netenv/address_choice.h"
#include "sys/admin.h"

namespace app {

StatusSnapshot currentStatus(const std::string& baseFolder) {
  StatusSnapshot s;
  s.running = http::serverRunning();
  s.port = http::serverPort();
  s.defaultPort = http::configuredServerPort();
  s.pin = auth::getRunPin();
  s.host = netenv::urlHost();
  s.tlsReady = http::transportReady();
  s.admin = sys::isRunningAsAdmin();
  s.baseFolder = baseFolder;
  s.webRoot = files::webRoot();
  s.adapterLines = netenv::adapterAddressLines();
  drive::DriveState d = drive::driveState();
  s.driveMapped = d.mapped;
  if (d.mapped) s.driveLetter = d.letter.substr(0, 1);
  return s;
}

std::string autoLoginUrl() {
  int port = http::serverPort();
  if (port == 0) port = http::configuredServerPort();
  return autoLoginUrl(core::flavour(), netenv::urlHost(), port, auth::getRunPin());
}

}  // namespace app
