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
  if (!isSixDigits(text)) return;
  storeMasterPin(text);
  sys::writeRegString(kMasterPinSetting, text);
  core::logEvent("AUTH    Master PIN updated (registry)");
}

}  // namespace auth
