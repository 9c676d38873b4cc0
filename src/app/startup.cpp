#include "app/startup.h"

#include "app/web_root_change.h"
#include "core/event_log.h"
#include "core/flavour.h"
#include "auth/master_pin.h"
#include "auth/sessions.h"
#include "auth/share_table.h"
#include "drive/web_root_drive.h"
#include "files/thumb_cache.h"
#include "files/tus_state.h"
#include "files/web_root.h"
#include "http/connection.h"
#include "http/host_names.h"
#include "http/server.h"
#include "netenv/address_cache.h"
#include "sys/clock.h"
#include "sys/folders.h"
#include "sys/host_name.h"
#include "sys/settings.h"

namespace app {

namespace {

// This computer's name, plain and as its local-network name, and the names
// the owner lists in the setting.
void allowHostNames() {
  std::string setting;
  sys::readRegString("AllowedHostNames", setting);
  std::vector<std::string> names = http::splitHostNames(setting);
  std::vector<std::string> own = http::splitHostNames(sys::computerName());
  for (const std::string& name : own) {
    names.push_back(name);
    names.push_back(name + ".local");
  }
  http::setAllowedHostNames(names);
}

}  // namespace

StartupFolders prepareFolders(const std::string& rootOverride) {
  StartupFolders out;
  out.base = sys::baseFolder();
  out.webRoot = defaultWebRoot(out.base);
  std::string stored;
  if (core::flavour().webRootFromSetting && sys::readRegString("WebRootPath", stored)) out.webRoot = stored;
  if (!rootOverride.empty()) out.webRoot = rootOverride;
  sys::createDirectories(out.base);
  sys::createDirectories(out.webRoot);
  files::setWebRoot(out.webRoot);
  return out;
}

StartFailure prepareServing(const StartupFolders& folders) {
  const core::Flavour& f = core::flavour();
  if (f.logFileName[0]) core::setLogFilePath(sys::joinPath(folders.base, f.logFileName));

  auth::resetSessions();
  auth::loadMasterPin();
  if (!auth::initShareSecret() || auth::getRunPin().empty()) {
    core::logEvent("ERROR   random number generator failed; not serving");
    return StartFailure::RandomGenerator;
  }

  core::logEvent("APP     start");
  core::logEvent("PATH    base=" + folders.base);
  core::logEvent("PATH    files=" + folders.webRoot);
  files::loadResumableUploads(sys::joinPath(folders.base, "uploads"), sys::nowSeconds());
  files::openThumbCache(sys::joinPath(folders.base, "thumbs"));
  core::logEvent("AUTH    PIN=" + auth::getRunPin());
  core::logEvent("SHARE   secret initialized (links valid until app restart)");
  if (f.auth.logsCookieName) core::logEvent(std::string("COOKIE  name=") + f.auth.cookieName);
  if (f.network.tls) {
    core::logEvent("TLS     cert=" + sys::joinPath(folders.base, "server.crt"));
    core::logEvent("TLS     key =" + sys::joinPath(folders.base, "server.key"));
  }
  allowHostNames();
  std::string lanAddress = netenv::findCachedAddress();
  if (!lanAddress.empty()) core::logEvent("NET     cached-ip=" + lanAddress);
  if (f.ensureCertificate && !f.ensureCertificate()) return StartFailure::Certificate;
  drive::reclaimStaleDrive();
  drive::mountWebRootDrive();
  return StartFailure::None;
}

const char* startFailureText(StartFailure failure) {
  switch (failure) {
    case StartFailure::RandomGenerator:
      return "The system's random number generator failed, so no safe PIN can be made. Vantrel PRO does not start.";
    case StartFailure::Certificate: return "TLS certificate generation failed.";
    case StartFailure::None: break;
  }
  return "";
}

void shutDown() {
  http::stopServer();
  http::waitForConnections(http::kExitGraceMs);
  http::releaseTransport();
  drive::unmountWebRootDrive();
  core::logEvent("APP     exit");
}

}  // namespace app
