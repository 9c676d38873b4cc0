// The main window's texts, QR code and tray tip from the current state.
#pragma once
#include <windows.h>

#include "app/status_text.h"

namespace desktop {

// Title, URL/PIN/drive/web-root lines, the report, the QR code and the tray
// tip; then the window is repainted. GUI thread; enumerates the adapters.
void updateStatus(HWND window);
app::StatusSnapshot desktopStatus();

}  // namespace desktop
