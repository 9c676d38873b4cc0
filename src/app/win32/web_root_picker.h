// "Web Root..." and "Back": choosing the folder the server shares.
#pragma once
#include <windows.h>

#include <string>

namespace desktop {

// The shell's folder picker, owned by the window; the chosen folder's path,
// or empty when it was cancelled or could not be shown.
std::wstring chooseWebRootFolder(HWND owner);
// Picks a folder and serves it; a cancelled picker changes nothing.
void pickWebRoot(HWND window);
// Serves the default folder again, storing it explicitly.
void restoreDefaultWebRoot(HWND window);

}  // namespace desktop
