// The notification-area icon, its tooltip and its pop-up menu.
#pragma once
#include <windows.h>

#include "app/status_text.h"

namespace desktop {

// Adds the icon once; later calls do nothing.
void addTrayIcon(HWND window);
// Adds it again after the shell's taskbar was recreated (a restarted shell
// has forgotten every icon).
void restoreTrayIcon(HWND window);
void removeTrayIcon(HWND window);
// Nothing while the icon is not shown.
void updateTrayTip(const app::StatusSnapshot& s);
void updateTrayTip();

// "Copy URL + PIN", "Open Browser (Auto Login)", "Explorer", a separator,
// "Open", "Close"; the first two greyed while the server is stopped.
HMENU buildTrayMenu(bool serverRunning);
// The mouse message of a WM_TRAY_CALLBACK.
void onTrayCallback(HWND window, LPARAM mouseMessage);

// Shows, restores and brings the window to the front ("Open").
void showMainWindow(HWND window);

}  // namespace desktop
