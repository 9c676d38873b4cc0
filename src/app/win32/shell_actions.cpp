#include "app/win32/shell_actions.h"

#include <windows.h>
#include <shellapi.h>

#include "app/status_snapshot.h"
#include "app/win32/main_state.h"
#include "core/event_log.h"
#include "drive/web_root_drive.h"
#include "files/web_root.h"
#include "http/server.h"
#include "sys/text.h"

namespace desktop {

namespace {

// ShellExecuteW reports success as a value above 32.
INT_PTR shellOpen(const std::wstring& target) {
  return (INT_PTR)ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void openBrowser() {
  if (!http::serverRunning()) return;
  std::string url = app::autoLoginUrl();
  if (shellOpen(sys::toWide(url)) > 32)
    core::logEvent("BROWSER opened: " + url);
  else
    core::logEvent("BROWSER failed");
}

void openExplorer() {
  // The drive letter is the short way in where one is mapped.
  drive::DriveState d = drive::driveState();
  std::string target = d.mapped && !d.root.empty() ? d.root : files::webRoot();
  INT_PTR code = shellOpen(sys::toWide(target));
  if (code > 32) return;
  core::logEvent("EXPLORER failed (ShellExecute code=" + std::to_string(code) + ") target=" + target);
  std::wstring text = L"Explorer konnte nicht ge\u00f6ffnet werden.\r\n\r\nPath:\r\n" + sys::toWide(target);
  MessageBoxW(mainState().window, text.c_str(), L"Vantrel PRO", MB_ICONERROR);
}

}  // namespace desktop
