#include "app/win32/tray.h"

#include <shellapi.h>

#include "app/win32/clipboard.h"
#include "app/win32/main_state.h"
#include "app/win32/messages.h"
#include "app/win32/status_view.h"
#include "core/flavour.h"
#include "http/server.h"
#include "sys/text.h"

namespace desktop {

namespace {

NOTIFYICONDATAW iconData(HWND window, UINT flags) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = window;
  nid.uID = kTrayIconId;
  nid.uFlags = flags;
  return nid;
}

bool notifyAdd(HWND window) {
  MainWindowState& st = mainState();
  NOTIFYICONDATAW nid = iconData(window, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  nid.uCallbackMessage = WM_TRAY_CALLBACK;
  int side = GetSystemMetricsForDpi(SM_CXSMICON, st.dpi);
  nid.hIcon = (HICON)LoadImageW(st.instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, side, side, LR_SHARED);
  lstrcpynW(nid.szTip, L"Vantrel PRO", ARRAYSIZE(nid.szTip));
  return Shell_NotifyIconW(NIM_ADD, &nid);
}

}  // namespace

void addTrayIcon(HWND window) {
  MainWindowState& st = mainState();
  if (st.trayIconShown) return;
  notifyAdd(window);
  // Set even when the shell is not up yet (an autostart at log-on): the
  // icon follows when its taskbar appears.
  st.trayIconShown = true;
  updateTrayTip();
}

void restoreTrayIcon(HWND window) {
  if (!mainState().trayIconShown) return;
  notifyAdd(window);
  updateTrayTip();
}

void removeTrayIcon(HWND window) {
  MainWindowState& st = mainState();
  if (!st.trayIconShown) return;
  NOTIFYICONDATAW nid = iconData(window, 0);
  Shell_NotifyIconW(NIM_DELETE, &nid);
  st.trayIconShown = false;
}

void updateTrayTip(const app::StatusSnapshot& s) {
  const MainWindowState& st = mainState();
  if (!st.trayIconShown) return;
  NOTIFYICONDATAW nid = iconData(st.window, NIF_TIP);
  // The text is already cut to the tip's 127 characters.
  lstrcpynW(nid.szTip, sys::toWide(app::trayTipText(core::flavour(), s)).c_str(), ARRAYSIZE(nid.szTip));
  Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void updateTrayTip() {
  if (mainState().trayIconShown) updateTrayTip(desktopStatus());
}

HMENU buildTrayMenu(bool serverRunning) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  UINT whileRunning = MF_STRING | (serverRunning ? 0 : MF_GRAYED);
  AppendMenuW(menu, whileRunning, kTrayCopy, L"Copy URL + PIN");
  AppendMenuW(menu, whileRunning, kTrayBrowser, L"Open Browser (Auto Login)");
  AppendMenuW(menu, MF_STRING, kTrayExplorer, L"Explorer");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kTrayOpen, L"Open");
  AppendMenuW(menu, MF_STRING, kTrayClose, L"Close");
  return menu;
}

void showMainWindow(HWND window) {
  ShowWindow(window, SW_SHOW);
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

namespace {

void runTrayMenu(HWND window) {
  HMENU menu = buildTrayMenu(http::serverRunning());
  if (!menu) return;
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(window);
  int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, window,
                              nullptr);
  DestroyMenu(menu);
  // Lets the menu close properly when the user clicks elsewhere.
  PostMessageW(window, WM_NULL, 0, 0);
  if (chosen) PostMessageW(window, WM_COMMAND, (WPARAM)chosen, 0);
}

}  // namespace

void onTrayCallback(HWND window, LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONUP: copyAutoLoginUrl(); break;
    case WM_LBUTTONDBLCLK: showMainWindow(window); break;
    case WM_RBUTTONUP: runTrayMenu(window); break;
    default: break;
  }
}

}  // namespace desktop
