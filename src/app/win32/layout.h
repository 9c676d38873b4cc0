// Where the main window's controls sit, and the window's own size, in
// pixels at 96 DPI; both views of the window.
#pragma once
#include <windows.h>

namespace desktop {

constexpr int kWindowWidth = 694;
constexpr int kCollapsedHeight = 180;
constexpr int kExpandedHeight = 520;
constexpr int kAddressListDroppedWidth = 130;

// Places every control for the current view and DPI and shows the ones of
// the expanded view only while it is expanded.
void layoutControls(HWND window);
// Sizes the window for the current view and DPI, keeping its position.
void applyWindowSize(HWND window);

}  // namespace desktop
