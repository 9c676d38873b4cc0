// WM_PAINT of the main window: state bar, frames, QR code and its label.
#pragma once
#include <windows.h>

namespace desktop {

void paintMainWindow(HWND window);

}  // namespace desktop
