#include "auth/master_pin.h"

#include "core/event_log.h"
#include "auth/pin.h"
#include "auth/sessions.h"
#include "sys/settings.h"

namespace auth {

static const char* const kMasterPinSetting = "MasterPin6";

void loadMasterPin() {
  std::string stored;
  if (sys::readRegString(kMasterPinSetting, stored) && isSixDigits(stored)) {
    storeMasterPin(stored);
  } else {
    std::string pin = generatePin();
    storeMasterPin(pin);
    // A failed write leaves the new PIN in force for this run.
    sys::writeRegString(kMasterPinSetting, pin);
  }
  core::logEvent("AUTH    Master PIN loaded (6 digits)");
}

void setMasterPin(const std::string& text) {
  // The desktop's PIN box reports its own filling at start-up like a typed
  // change; only a new PIN is worth a registry write and a log line.
  if (!isSixDigits(text) || text == getMasterPin()) return;
  storeMasterPin(text);
  sys::writeRegString(kMasterPinSetting, text);
  core::logEvent("AUTH    Master PIN updated (registry)");
}

}  // namespace auth
