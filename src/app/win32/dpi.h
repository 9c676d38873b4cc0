// The window is laid out in pixels at 96 DPI and scaled by the DPI of the
// monitor it is on, so that it is sharp at every scale factor.
#pragma once
#include <windows.h>

namespace desktop {

constexpr UINT kBaseDpi = 96;

// The DPI of the window's monitor, or the system's when there is no window.
UINT windowDpi(HWND window);
int scaled(int pixelsAt96, UINT dpi);

}  // namespace desktop
