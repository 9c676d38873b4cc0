#include "app/win32/autostart_box.h"

#include <string>

#include "app/win32/messages.h"
#include "core/event_log.h"
#include "core/flavour.h"
#include "sys/autostart.h"

namespace desktop {

void showAutostartState(HWND window) {
  bool enabled = sys::isAutostartEnabled(core::flavour().programName);
  CheckDlgButton(window, kAutostartBox, enabled ? BST_CHECKED : BST_UNCHECKED);
}

void onAutostartClicked(HWND window) {
  bool enable = IsDlgButtonChecked(window, kAutostartBox) == BST_CHECKED;
  std::string error;
  if (sys::setAutostart(core::flavour().programName, enable, error)) {
    core::logEvent(enable ? "AUTOSTART enabled" : "AUTOSTART disabled");
    return;
  }
  CheckDlgButton(window, kAutostartBox, enable ? BST_UNCHECKED : BST_CHECKED);
  core::logEvent("AUTOSTART failed to update registry");
  MessageBoxW(window, L"Autostart konnte nicht gesetzt werden.", L"Vantrel PRO", MB_ICONERROR);
}

}  // namespace desktop
