// WM_COMMAND of the main window: buttons, the PIN box, the address list
// and the tray menu's items.
#pragma once
#include <windows.h>

namespace desktop {

// False for identifiers the window leaves to default processing.
bool onCommand(HWND window, int id, int notification, HWND control);

}  // namespace desktop
