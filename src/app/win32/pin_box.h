// The master PIN box: digits only, and six of them set the master PIN.
#pragma once
#include <windows.h>

namespace desktop {

// EN_CHANGE of the box.
void onPinBoxChanged(HWND box);
// Start-up: shows the stored master PIN in the box.
void showMasterPin(HWND window);

}  // namespace desktop
