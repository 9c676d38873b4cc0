// The main window: its class, its creation and its window procedure.
#pragma once
#include <windows.h>

namespace desktop {

extern const wchar_t* const kMainWindowClass;

bool registerMainWindowClass(HINSTANCE instance);
// Creates the window at the DPI of the primary monitor; its creation
// creates the controls and starts the server. Null on failure.
HWND createMainWindow(HINSTANCE instance);

}  // namespace desktop
