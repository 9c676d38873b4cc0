// The main window's state. Everything here belongs to the GUI thread; other
// threads reach the window only through postServerState.
#pragma once
#include <windows.h>

#include <string>

namespace desktop {

struct MainWindowState {
  HWND window = nullptr;
  HINSTANCE instance = nullptr;
  bool expanded = false;       // "Status" view
  bool trayIconShown = false;  // the icon is wanted in the notification area
  HBITMAP qrBitmap = nullptr;
  int qrSide = 0;  // pixels per side of qrBitmap
  HFONT uiFont = nullptr;
  HBRUSH whiteBrush = nullptr;
  UINT dpi = 96;  // of the monitor the window is on
  std::string baseFolder;
};

MainWindowState& mainState();

// The window that WM_SERVER_STATE goes to; null before creation and after
// destruction. Safe from any thread.
void publishMainWindow(HWND window);
// The listener's state hook: posts WM_SERVER_STATE, never calls into the window.
void postServerState();

}  // namespace desktop
