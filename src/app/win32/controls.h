// The main window's child controls: created once, in a fixed order, at size
// 0; layoutControls places them.
#pragma once
#include <windows.h>

namespace desktop {

void createControls(HWND window);
// Gives every child control the font.
void setControlFont(HWND window, HFONT font);
// "Segoe UI", 14 pixels high at 96 DPI.
HFONT createUiFont(UINT dpi);

}  // namespace desktop
