#include "app/win32/dpi.h"

namespace desktop {

UINT windowDpi(HWND window) {
  UINT dpi = window ? GetDpiForWindow(window) : 0;
  if (dpi == 0) dpi = GetDpiForSystem();
  return dpi ? dpi : kBaseDpi;
}

int scaled(int pixelsAt96, UINT dpi) { return MulDiv(pixelsAt96, (int)dpi, (int)kBaseDpi); }

}  // namespace desktop
