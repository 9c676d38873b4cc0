// The "Windows Autostart" check box: the Run entry, shown and switched.
#pragma once
#include <windows.h>

namespace desktop {

// Checks the box when the entry names this program file.
void showAutostartState(HWND window);
// BN_CLICKED: writes or removes the entry as the box now says; a failure
// puts the box back, logs it and tells the user.
void onAutostartClicked(HWND window);

}  // namespace desktop
