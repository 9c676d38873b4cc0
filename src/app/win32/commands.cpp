#include "app/win32/commands.h"

#include "app/win32/address_list.h"
#include "app/win32/autostart_box.h"
#include "app/win32/clipboard.h"
#include "app/win32/layout.h"
#include "app/win32/log_window.h"
#include "app/win32/main_state.h"
#include "app/win32/messages.h"
#include "app/win32/pin_box.h"
#include "app/win32/shell_actions.h"
#include "app/win32/status_view.h"
#include "app/win32/tray.h"
#include "app/win32/web_root_picker.h"
#include "app/routes.h"
#include "http/server.h"

namespace desktop {

namespace {

void toggleServer(HWND window) {
  if (http::serverRunning())
    http::stopServer();
  else
    http::startServer(app::routes());
  updateStatus(window);
}

void toggleExpanded(HWND window) {
  mainState().expanded = !mainState().expanded;
  applyWindowSize(window);
  layoutControls(window);
  updateStatus(window);
}

}  // namespace

bool onCommand(HWND window, int id, int notification, HWND control) {
  switch (id) {
    case kMasterPinBox:
      if (notification == EN_CHANGE) onPinBoxChanged(control);
      return true;
    case kAddressList:
      if (notification == CBN_DROPDOWN) fillAddressList(window, true);
      if (notification == CBN_SELCHANGE) {
        takeSelectedAddress(window);
        updateStatus(window);
      }
      return true;
    case kServerButton: toggleServer(window); return true;
    case kStatusButton: toggleExpanded(window); return true;
    case kLogsButton: openLogWindow(); return true;
    case kAutostartBox:
      if (notification == BN_CLICKED) onAutostartClicked(window);
      return true;
    case kWebRootButton: pickWebRoot(window); return true;
    case kBackButton: restoreDefaultWebRoot(window); return true;
    case kExplorerButton:
    case kTrayExplorer: openExplorer(); return true;
    case kCopyButton:
    case kTrayCopy: copyAutoLoginUrl(); return true;
    case kBrowserButton:
    case kTrayBrowser: openBrowser(); return true;
    case kTrayOpen: showMainWindow(window); return true;
    case kTrayClose:
      http::stopServer();
      DestroyWindow(window);
      return true;
    default: return false;
  }
}

}  // namespace desktop
